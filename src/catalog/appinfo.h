#ifndef APPINFO_H
#define APPINFO_H

#include <QImage>
#include <QString>

namespace ZPVGlobal {

// The part of an applet's application info that the suite-wide code needs.
class AppInfo
{
public:
    AppInfo() = default;
    AppInfo(const AppInfo &) = default;
    AppInfo &operator=(const AppInfo &) = default;
    virtual ~AppInfo() = default;

    QString appPath;
    QString libId;
    QString id;
    QString caption;
    QString tooltip;
    qint32 libAppCount = 0;
    qint32 appIndex = 0;
    QString iconPaths[3];
    QImage icon;
    qint32 appType = 0;
    QString appLaunch;
    double sortOrder = 0;
    QString accepts;
    // Carried and copied only; its meaning is not settled.
    QString reserved;
};

} // namespace ZPVGlobal

#endif
