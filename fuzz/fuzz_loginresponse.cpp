// Arbitrary bytes as the body of an access-token reply. Never saves, so the
// settings store stays untouched.

#include "twitter/signature.h"

#include <QLoggingCategory>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool quiet = [] {
        // Every refused reply logs a line; that would drown the fuzzer's output.
        QLoggingCategory::setFilterRules(QStringLiteral("zpv.twitter.critical=false"));
        return true;
    }();
    Q_UNUSED(quiet)

    Signature signature;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    if (signature.consumeLoginResponse(text)) {
        // Accepted fields are non-empty and free of the separators.
        for (const QString *field : { &signature.oauth_token, &signature.oauth_token_secret,
                                      &signature.user_id, &signature.screen_name }) {
            if (field->isEmpty() || field->contains(u'&') || field->contains(u'='))
                __builtin_trap();
        }
    }
    return 0;
}
