// Arbitrary bytes as a form body or query string, as the service reads them.

#include "formcodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Every "%" starts an escape of two hexadecimal digits.
bool escapesValid(const QByteArray &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != '%')
            continue;
        if (i + 2 >= text.size() || !isHex(text.at(i + 1)) || !isHex(text.at(i + 2)))
            return false;
        i += 2;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));

    // Strict decoding refuses exactly the broken escapes, and otherwise reads
    // like Qt's lenient decoder.
    for (const bool plusIsSpace : { false, true }) {
        const auto decoded = percentDecode(text, plusIsSpace);
        if (decoded.has_value() != escapesValid(text))
            std::abort();
        QByteArray spaced = text;
        if (plusIsSpace)
            spaced.replace('+', ' ');
        if (decoded && *decoded != QByteArray::fromPercentEncoding(spaced))
            std::abort();
    }

    // A form that reads has named fields, and encodes to a text that reads
    // back to the same fields in the same order.
    if (const auto params = parseForm(text)) {
        for (const auto &param : *params) {
            if (param.first.isEmpty())
                std::abort();
        }
        const auto again = parseForm(formEncode(*params));
        if (!again || *again != *params)
            std::abort();
        if (!params->isEmpty() && formValue(*params, params->first().first) != params->first().second)
            std::abort();
    }

    // Only text that UTF-8 carries unchanged is taken.
    const auto utf8 = strictUtf8(text);
    if (utf8.has_value() != (QString::fromUtf8(text).toUtf8() == text))
        std::abort();
    return 0;
}
