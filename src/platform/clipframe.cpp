#include "platform/clipframe.h"

#include "platform/clipframe_p.h"
#include "platform/mediaprobe.h"

#include <QFile>
#include <QHash>
#include <QMutex>

#include <sys/stat.h>

namespace {

const QString badgeName = QStringLiteral("BadgeData");

struct CachedProbe
{
    qint64 size = 0;
    qint64 mtime = 0;
    MediaProbe probe;
};

// Bounded so that a long gallery session cannot grow it without end.
constexpr int maxCachedProbes = 8192;

QMutex cacheMutex;
QHash<QString, CachedProbe> probeCache;

bool probeFile(const QString &path, MediaProbe &result)
{
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0
        || !S_ISREG(st.st_mode))
        return false;
    const qint64 mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    {
        QMutexLocker lock(&cacheMutex);
        const auto it = probeCache.constFind(path);
        if (it != probeCache.cend() && it->size == st.st_size && it->mtime == mtime) {
            result = it->probe;
            return true;
        }
    }
    result = probeMedia(path);
    QMutexLocker lock(&cacheMutex);
    if (probeCache.size() >= maxCachedProbes)
        probeCache.clear();
    probeCache.insert(path, CachedProbe { st.st_size, mtime, result });
    return true;
}

} // namespace

void ClipFramePrivate::clearProbeCache()
{
    QMutexLocker lock(&cacheMutex);
    probeCache.clear();
}

ClipFrame::ClipFrame() = default;
ClipFrame::~ClipFrame() = default;

bool ClipFrame::isMovieFile(const QString &path)
{
    MediaProbe probe;
    return probeFile(path, probe) && probe.isMovie;
}

bool ClipFrame::getDuration(const QString &path, unsigned long &seconds)
{
    MediaProbe probe;
    if (!probeFile(path, probe) || !probe.isMovie || probe.durationSeconds < 0)
        return false;
    seconds = static_cast<unsigned long>(probe.durationSeconds);
    return true;
}

bool ClipFrame::getFileAttribute(const QString &path, const QString &name, QString &text)
{
    return ClipFramePrivate::readAttribute(path, name, text);
}

bool ClipFrame::getPhotoFileAttribute(const QString &path, QString &text)
{
    // The same name as for videos: removal always goes by "BadgeData".
    return ClipFramePrivate::readAttribute(path, badgeName, text);
}

bool ClipFrame::setFileAttribute(const QString &path, const QString &name, const QString &text)
{
    return ClipFramePrivate::writeAttribute(path, name, text);
}

bool ClipFrame::setPhotoFileAttribute(const QString &path, const QString &text)
{
    return ClipFramePrivate::writeAttribute(path, badgeName, text);
}

bool ClipFrame::removeFileAttribute(const QString &path, const QString &name)
{
    return ClipFramePrivate::removeAttribute(path, name);
}
