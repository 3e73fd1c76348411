// Arbitrary bytes as the limits text a host reads back.

#include "controller/limitstatus.h"

#include <QLoggingCategory>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool quiet = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("zpv.controller.critical=false"));
        return true;
    }();
    Q_UNUSED(quiet)

    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    LimitStatus status;
    if (!status.fromString(text))
        return 0;
    // What was accepted writes back to a text that reads as the same record.
    LimitStatus again;
    if (!again.fromString(status.toString()) || !(again == status))
        __builtin_trap();
    for (auto it = status.statusByPath.cbegin(); it != status.statusByPath.cend(); ++it) {
        if (it.key().isEmpty())
            __builtin_trap();
    }
    return 0;
}
