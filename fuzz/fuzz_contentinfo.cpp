#include "catalog/contentinfo.h"

#include <cstdint>
#include <cstdlib>

// Reads any text; a message that reads must write and read back to the same record.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    ContentInfo info;
    if (!xmlToContentInfo(text, info))
        return 0;

    ContentInfo written = info;
    if (!contentInfoToXml(written))
        std::abort();
    ContentInfo again;
    if (!xmlToContentInfo(written.xml, again))
        std::abort();
    const quint32 button = info.button == 1 || info.button == 2 ? info.button : 0;
    if (again.paths != info.paths || again.tabType != info.tabType || again.button != button
        || again.x != info.x || again.y != info.y || again.applicationId != info.applicationId
        || again.photoCount != written.photoCount || again.videoCount != written.videoCount)
        std::abort();
    return 0;
}
