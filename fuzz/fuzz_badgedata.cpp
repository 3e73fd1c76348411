#include "badges/badgedata.h"

#include <cstdint>
#include <cstdlib>

// Reads any text; a map that reads must write and read back to itself, unless
// a key or URL holds text the writer refuses.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    BadgeData map;
    if (!xmlToBadgeData(text, &map))
        return 0;

    bool carried = true;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        carried = carried && isXmlText(it.key()) && isXmlText(it.value());
    QString written;
    if (badgeDataToXml(map, written) != carried)
        std::abort();
    if (!carried)
        return 0;
    BadgeData again;
    if (!xmlToBadgeData(written, &again) || again != map)
        std::abort();
    return 0;
}
