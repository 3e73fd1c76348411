#include "catalog/capturestatus.h"

#include <QLoggingCategory>

#include <cstdint>
#include <cstdlib>

// Reads any text; a record that reads must write and read back unchanged, and
// its rules must answer without trouble.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool quiet = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("zpv.*=false"));
        return true;
    }();
    Q_UNUSED(quiet);

    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    CaptureStatus status;
    if (!xmlToCaptureStatus(text, status))
        return 0;
    for (unsigned bit : { 1u, 2u, 4u, 8u })
        status.hasRule(bit);

    QString xml;
    if (!captureStatusToXml(status, xml))
        std::abort();
    CaptureStatus again;
    if (!xmlToCaptureStatus(xml, again))
        std::abort();
    // The DOM drops characters XML cannot carry and turns CR LF into LF, so
    // compare with a second pass, which must be stable.
    QString xml2;
    captureStatusToXml(again, xml2);
    CaptureStatus third;
    if (!xmlToCaptureStatus(xml2, third) || third.mode != again.mode || third.xres != again.xres
        || third.yres != again.yres || third.rules != again.rules || third.format != again.format)
        std::abort();
    if (again.mode != status.mode || again.xres != status.xres || again.yres != status.yres)
        std::abort();
    return 0;
}
