#ifndef BADGEINFO_H
#define BADGEINFO_H

#include <QImage>
#include <QString>

// One badge of a media file, for display.
class BadgeInfo
{
public:
    virtual ~BadgeInfo() = default;

    QString url;
    QImage icon;
    QString caption;
    QString path;
    QString appId;
};

#endif
