// Arbitrary bytes as a record a wizard page reports.

#include "controller/keyvaluerecord.h"

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
    KeyValueRecord record;
    if (!record.fromString(text))
        return 0;
    if (record.isEmpty())
        __builtin_trap();
    // Unless a key came twice (the later one wins), the pairs write back to a
    // text as long as the one read: nothing of a value was lost.
    qsizetype pairs = 0;
    for (const QString &piece : text.split(record.pairSeparator))
        pairs += piece.contains(record.valueSeparator) ? 1 : 0;
    if (pairs == record.size() && record.toString().size() != text.size())
        __builtin_trap();
    // Keys never hold the value separator; reading what was written keeps
    // every key.
    KeyValueRecord again;
    if (!again.fromString(record.toString()))
        __builtin_trap();
    for (auto it = record.cbegin(); it != record.cend(); ++it) {
        if (it.key().contains(record.valueSeparator) || !again.contains(it.key()))
            __builtin_trap();
    }
    return 0;
}
