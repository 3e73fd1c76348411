#ifndef BADGER_H
#define BADGER_H

#include "badges/badgedata.h"
#include "badges/badgeinfo.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

// The badge of one media file: which applications hold it under which URL,
// kept with the file under the attribute "BadgeData", and the gallery
// images drawn from it. Made on the stack for one operation.
class Badger : public QObject
{
    Q_OBJECT

public:
    explicit Badger(QObject *parent = nullptr);
    Badger(const QString &path, QObject *parent);
    ~Badger() override;

    // Stores the path and loads it; false when it cannot be loaded.
    bool initialize(const QString &path);
    bool reload();
    // False, leaving url alone, when the file holds no entry of appId.
    bool getUrl(const QString &appId, QString &url);

    bool decorateThumbnail(QImage &thumbnail);
    bool getOverlay(QImage &overlay);
    bool getBadges(QList<BadgeInfo> &badges);
    bool getBadgeIcon(QImage &icon);
    bool hasBadges();

public Q_SLOTS:
    bool badgeContent(const QString &appId, const QString &url, const QString &path, ulong flags);
    // The copy keeps the file's name in a new folder of its own under
    // "clean-copies" in the user's own temporary folder; it replaces only an
    // earlier copy of that name, never the file itself or anything else.
    bool createCleanTempCopy(const QString &path, QString &tempCopyPath);
    // On failure xml holds the reason instead of the content.
    bool getBadgeContent(const QString &path, QString &xml, BadgeData *bd = nullptr);
    bool clearTags(const QString &path);

private:
    QString path;
    BadgeData badgeData;
    bool isVideo = false;
    bool ready = false;
    unsigned long duration = 0;
};

#endif
