#ifndef CTAAPPINFO_H
#define CTAAPPINFO_H

#include <QImage>
#include <QList>
#include <QString>

// One applet of the suite as its application info text ("AppInfoText")
// describes it. Copied by value.
class CTAAppInfo
{
public:
    CTAAppInfo() = default;
    CTAAppInfo(const CTAAppInfo &) = default;
    CTAAppInfo &operator=(const CTAAppInfo &) = default;
    virtual ~CTAAppInfo() = default;

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
    // Carried and copied only; their meaning is not settled.
    qint32 reserved1 = 0;
    qint32 reserved2 = 0;
    QString appLaunch;
    double sortOrder = 0;
    QString accepts;
    QString version;
    QString build;
    QString vxproduct;
    QString reserved3;
    QList<quint32> langWhitelist;
    QList<quint32> langGraylist;
    QList<quint32> langBlacklist;
};

#endif
