// Arbitrary bytes as a JSON reply of the x flavour, and as the value of its
// rate-limit header.

#include "twitter/xapireply.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    const XApiReply reply(body);
    const QString problem = reply.problem();
    const bool rejected = reply.tokenRejected();
    if (!reply.isObject()) {
        // Nothing is read from what is not one object.
        if (!reply.data().isEmpty() || !problem.isEmpty() || rejected)
            std::abort();
    } else {
        // An object, so its first byte past JSON's white space opens it.
        qsizetype start = 0;
        while (start < body.size()
            && (body.at(start) == ' ' || body.at(start) == '\t' || body.at(start) == '\n'
                || body.at(start) == '\r'))
            ++start;
        if (start == body.size() || body.at(start) != '{')
            std::abort();
    }
    // Messages come trimmed, so the whole is too.
    if (problem != problem.trimmed())
        std::abort();

    const QDateTime reset = XApiReply::rateLimitReset(body);
    bool ok = false;
    const qint64 seconds = body.trimmed().toLongLong(&ok);
    if (reset.isValid() && (!ok || seconds <= 0 || reset.toSecsSinceEpoch() != seconds))
        std::abort();
    return 0;
}
