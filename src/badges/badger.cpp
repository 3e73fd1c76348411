#include "badges/badger.h"

#include "badges/badgeimages.h"
#include "badges/badgelock.h"
#include "badges/filecopy.h"
#include "catalog/contenttype.h"
#include "platform/clipframe.h"
#include "platform/osproxylib.h"
#include "platform/usertempdir.h"
#include "zpvlogging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QString attributeName = QStringLiteral("BadgeData");

bool readBadgeText(const QString &path, QString &text, bool isVideo)
{
    return isVideo ? ClipFrame::getFileAttribute(path, attributeName, text)
                   : ClipFrame::getPhotoFileAttribute(path, text);
}

bool readBadgeText(const QString &path, QString &text)
{
    return readBadgeText(path, text, isVideoFile(path));
}

bool writeBadgeText(const QString &path, const QString &text)
{
    return isVideoFile(path) ? ClipFrame::setFileAttribute(path, attributeName, text)
                             : ClipFrame::setPhotoFileAttribute(path, text);
}

const QString cleanCopiesFolder = QStringLiteral("clean-copies");

// Clean copies are made again and again, each of a whole video: only the
// latest of a name is kept. Everything in that private folder is ours, but
// the file being copied may itself be one of them.
void dropEarlierCopies(const QString &folder, const QString &name, const QString &source)
{
    const QFileInfo sourceInfo(source);
    const QFileInfoList copyFolders
        = QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo &copyFolder : copyFolders) {
        const QFileInfo earlier(copyFolder.absoluteFilePath() + u'/' + name);
        if (earlier.exists() && earlier != sourceInfo && QFile::remove(earlier.absoluteFilePath()))
            QDir(folder).rmdir(copyFolder.fileName());
    }
}

} // namespace

Badger::Badger(QObject *parent)
    : QObject(parent)
{ }

Badger::Badger(const QString &path, QObject *parent)
    : QObject(parent)
    , path(path)
{ }

Badger::~Badger() = default;

bool Badger::initialize(const QString &path)
{
    ready = false;
    this->path = path;
    return reload();
}

bool Badger::reload()
{
    ready = false;
    if ((videoOverlayImage.isNull() || motionOverlayImage.isNull()) && !initBadgeImages())
        return false;
    if (path.isEmpty())
        return false;

    // As getBadgeContent; the read itself tells whether the file exists, so
    // that is asked only when it fails.
    const bool wasVideo = isVideo;
    isVideo = isVideoFile(path);
    QString text;
    if (!readBadgeText(path, text, isVideo)) {
        if (!QFileInfo::exists(path))
            isVideo = wasVideo;
        return false;
    }
    xmlToBadgeData(text, &badgeData);
    if (isVideo && !ClipFrame::getDuration(path, duration))
        duration = 0;
    ready = true;
    return true;
}

bool Badger::getUrl(const QString &appId, QString &url)
{
    const auto it = badgeData.constFind(appId);
    if (it == badgeData.cend())
        return false;
    url = it.value();
    return true;
}

bool Badger::badgeContent(const QString &appId, const QString &url, const QString &path, ulong)
{
    if (!QFileInfo::exists(path))
        return false;
    const BadgeLock lock(path);
    if (!lock.isLocked()) {
        qCCritical(
            lcBadges, "Badger::badgeContent() - failed to lock file: %s", qUtf8Printable(path));
        return false;
    }

    QString text;
    if (!readBadgeText(path, text))
        return false;
    BadgeData data;
    xmlToBadgeData(text, &data);
    data.insert(appId, url);
    if (!badgeDataToXml(data, text))
        return false;
    return writeBadgeText(path, text);
}

bool Badger::createCleanTempCopy(const QString &path, QString &tempCopyPath)
{
    QString folder;
    if (!QFileInfo::exists(path) || !getLongPathName(userTempSubfolder(cleanCopiesFolder), folder))
        return false;
    const QString name = QFileInfo(path).fileName();
    dropEarlierCopies(folder, name, path);

    // Each copy gets a folder of its own, so it keeps the file's name and
    // never meets anything else in the temporary folder.
    QTemporaryDir copyFolder(folder + QStringLiteral("/XXXXXX"));
    if (!copyFolder.isValid())
        return false;
    const QString copyPath = copyFolder.filePath(name);
    if (!copyFileContents(path, copyPath) || !QFileInfo::exists(copyPath) || !clearTags(copyPath))
        return false; // the copy folder goes with what is in it
    copyFolder.setAutoRemove(false);
    tempCopyPath = copyPath;
    return true;
}

bool Badger::getBadgeContent(const QString &path, QString &xml, BadgeData *bd)
{
    if (!QFileInfo::exists(path)) {
        xml = QStringLiteral("Badger::getBadgeContent() - path does not exist: ") + path;
        return false;
    }
    QString text;
    if (!readBadgeText(path, text)) {
        xml = QStringLiteral("Badger::getBadgeContent() - failed to get xml from file: ") + path;
        return false;
    }
    xml = text;
    if (bd)
        xmlToBadgeData(text, bd);
    return true;
}

bool Badger::clearTags(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    return ClipFrame::removeFileAttribute(path, attributeName);
}

bool Badger::getOverlay(QImage &overlay)
{
    if (badgeData.isEmpty() && !isVideo)
        return false;
    if (badgeData.contains(QLatin1String(motionAppId))) {
        overlay = motionOverlayImage;
        return true;
    }
    if (isVideo) {
        overlay = videoOverlayImage;
        return true;
    }
    return false;
}

bool Badger::decorateThumbnail(QImage &thumbnail)
{
    QImage overlay;
    if (!getOverlay(overlay))
        return false;
    thumbnail = composeOverlay(thumbnail, overlay, duration);
    return true;
}

bool Badger::getBadges(QList<BadgeInfo> &badges)
{
    badges.clear();
    for (auto it = badgeApplications.begin(); it != badgeApplications.end(); ++it) {
        const auto entry = badgeData.constFind(it.key());
        if (entry == badgeData.cend())
            continue;
        it->url = entry.value();
        it->path = path;
        badges.append(it.value());
    }
    return !badges.isEmpty();
}

bool Badger::getBadgeIcon(QImage &icon)
{
    QList<BadgeInfo> badges;
    if (!getBadges(badges))
        return false;
    if (badges.size() == 1) {
        icon = badges.first().icon;
        return true;
    }
    // The shared copy is the same image, loaded once.
    if (!shareIconImage.isNull()) {
        icon = shareIconImage;
        return true;
    }
    QImage share;
    if (!share.load(QString::fromLatin1(shareIconResource)))
        return false;
    icon = share;
    return true;
}

bool Badger::hasBadges()
{
    QList<BadgeInfo> badges;
    return getBadges(badges);
}

#include "moc_badger.cpp"
