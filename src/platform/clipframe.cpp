#include "platform/clipframe.h"

#include "platform/clipframe_p.h"
#include "platform/mediaprobe.h"
#include "platform/probestore.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
std::atomic_int probeCount { 0 };

qint64 mtimeOf(const struct stat &st)
{
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

struct Descriptor
{
    explicit Descriptor(int fd)
        : fd(fd)
    { }
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    const int fd;
};

bool probeFile(const QString &path, MediaProbe &result)
{
    struct stat st;
    const QByteArray nativePath = QFile::encodeName(path);
    if (path.isEmpty() || ::stat(nativePath.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    {
        QMutexLocker lock(&cacheMutex);
        const auto it = probeCache.constFind(path);
        if (it != probeCache.cend() && it->size == st.st_size && it->mtime == mtimeOf(st)) {
            result = it->probe;
            return true;
        }
    }
    // What is kept on disk and what is probed is the file opened here, never
    // what a link leads to (such a file has its answer kept per user).
    const Descriptor file(
        ::open(nativePath.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd >= 0 && (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)))
        return false;
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    if (!loadStoredProbe(file.fd, absolutePath, st, result)) {
        ++probeCount;
        result = probeMedia(path, file.fd);
        storeProbe(file.fd, absolutePath, st, result);
    }
    QMutexLocker lock(&cacheMutex);
    if (probeCache.size() >= maxCachedProbes)
        probeCache.clear();
    probeCache.insert(path, CachedProbe { st.st_size, mtimeOf(st), result });
    return true;
}

} // namespace

void ClipFramePrivate::clearProbeCache()
{
    QMutexLocker lock(&cacheMutex);
    probeCache.clear();
}

int ClipFramePrivate::probesMade()
{
    return probeCount;
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
