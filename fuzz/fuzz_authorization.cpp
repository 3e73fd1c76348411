// Arbitrary bytes as the Authorization header of a request to the service.

#include "authorizationheader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray header(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto params = parseAuthorizationHeader(header);
    if (!params)
        return 0;
    if (!header.toLower().startsWith("oauth "))
        std::abort();

    // A header that reads has named fields and, written again the way
    // clients write it, reads back to the same fields in the same order.
    QByteArray written = "OAuth ";
    for (const auto &param : *params) {
        if (param.first.isEmpty())
            std::abort();
        if (&param != &params->first())
            written += ", ";
        written += param.first.toPercentEncoding() + "=\"" + param.second.toPercentEncoding() + '"';
    }
    const auto again = parseAuthorizationHeader(written);
    if (!again || *again != *params)
        std::abort();
    return 0;
}
