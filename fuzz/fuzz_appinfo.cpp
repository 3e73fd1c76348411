#include "catalog/appinfo.h"
#include "catalog/appinfoxml.h"
#include "catalog/ctaappinfo.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

// An isolated settings store whose current language is en-US.
void setUpOnce()
{
    static QTemporaryDir settings;
    static bool done = false;
    if (done)
        return;
    done = true;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("NoBridge"),
        QStringLiteral("ZPV"))
        .setValue(QStringLiteral("LanguageID"), 0x409);
}

} // namespace

// Reads any text into both records; a record that reads must write a text
// that reads back to the same fields (the language lists are written in a
// form the reader takes differently, so they are left out here).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setUpOnce();
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    ZPVGlobal::AppInfo small;
    const bool smallRead = xmlToAppInfo(text, small);
    CTAAppInfo info;
    if (xmlToAppInfo(text, info) != smallRead)
        std::abort();
    if (!smallRead)
        return 0;
    if (small.id != info.id || small.caption != info.caption || small.tooltip != info.tooltip)
        std::abort();

    info.langWhitelist.clear();
    info.langGraylist.clear();
    info.langBlacklist.clear();
    QString written;
    if (!appInfoToXml(info, written))
        std::abort();
    CTAAppInfo again;
    if (!xmlToAppInfo(written, again))
        std::abort();
    const bool same = again.appPath == info.appPath && again.libId == info.libId
        && again.id == info.id && again.libAppCount == info.libAppCount
        && again.appIndex == info.appIndex && again.appType == info.appType
        && again.accepts == info.accepts && again.version == info.version
        && again.build == info.build && again.tooltip == info.tooltip
        && again.iconPaths[0] == info.iconPaths[0];
    if (!same)
        std::abort();
    return 0;
}
