#include "platform/clipframesidecar.h"

#include "zpvlogging.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Records hold a few small texts; anything far larger is not one of ours.
constexpr qint64 maxRecordSize = 16 * 1024 * 1024;

int retryOpenAt(int folder, const char *name, int flags, mode_t mode = 0)
{
    int fd = -1;
    do {
        fd = ::openat(folder, name, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool writeAll(int fd, const QByteArray &data)
{
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool isOurs(const struct stat &st)
{
    return S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

// Puts temp in place under name without ever replacing what stands there.
bool linkNew(int folder, const char *temp, const char *name)
{
    if (::renameat2(folder, temp, folder, name, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without that flag (NFS) still refuse to link over a name.
    if (::linkat(folder, temp, folder, name, 0) != 0)
        return false;
    ::unlinkat(folder, temp, 0);
    return true;
}

} // namespace

ClipFrameSidecar::ClipFrameSidecar(const QString &mediaPath)
    : m_path(mediaPath)
{
    const QFileInfo media(mediaPath);
    m_name = QFile::encodeName(QStringLiteral(".") + media.fileName() + QStringLiteral(".zpvattr"));
    m_folderPath = media.absolutePath();
}

ClipFrameSidecar::~ClipFrameSidecar()
{
    if (m_folder >= 0)
        ::close(m_folder);
}

int ClipFrameSidecar::folder() const
{
    if (m_folder != -2)
        return m_folder;
    m_folder = -1;
    // A link in the folder's own path is the user's way to the file; what
    // is opened is the folder it leads to, and only that.
    const QString folder = QFileInfo(m_folderPath).canonicalFilePath();
    if (!folder.isEmpty())
        m_folder = retryOpenAt(
            AT_FDCWD, QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW);
    return m_folder;
}

bool ClipFrameSidecar::load(QByteArray &data) const
{
    // Links on the way to the folder are followed as when it is opened
    // first; the record's own name never is. Most files have no record:
    // one call tells.
    const QByteArray recordPath = QFile::encodeName(m_folderPath) + '/' + m_name;
    const int fd = retryOpenAt(
        AT_FDCWD, recordPath.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT)
            qCWarning(lcPlatform, "ClipFrameSidecar::load() - ignoring the record of: %s (%s)",
                qUtf8Printable(m_path), strerror(errno));
        return false;
    }
    struct stat st;
    const char *refused = nullptr;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        refused = "not a regular file";
    else if (st.st_uid != ::geteuid() && st.st_uid != 0)
        refused = "owned by another user";
    else if (st.st_mode & (S_IWGRP | S_IWOTH))
        refused = "writable by others";
    else if (st.st_size > maxRecordSize)
        refused = "too large";
    if (refused) {
        qCWarning(lcPlatform, "ClipFrameSidecar::load() - ignoring the record of: %s (%s)",
            qUtf8Printable(m_path), refused);
        ::close(fd);
        return false;
    }
    QFile file;
    bool ok = file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    if (ok) {
        data = file.readAll();
        ok = file.error() == QFileDevice::NoError;
    } else {
        ::close(fd);
    }
    return ok;
}

bool ClipFrameSidecar::save(const QByteArray &data) const
{
    if (folder() < 0)
        return false;
    struct stat st;
    const bool replace = ::fstatat(m_folder, m_name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!replace && errno != ENOENT)
        return false;
    if (replace && !isOurs(st)) {
        qCWarning(lcPlatform,
            "ClipFrameSidecar::save() - not replacing what stands at the record "
            "name of: %s",
            qUtf8Printable(m_path));
        return false;
    }

    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        temp = m_name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = retryOpenAt(m_folder, temp.constData(),
            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY, S_IRUSR | S_IWUSR);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    // Some file systems (FAT with a lax mount) show every file as ours and
    // writable by all: a record there would not count, so keep it elsewhere.
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && ::fstat(fd, &st) == 0 && isOurs(st)
        && !(st.st_mode & (S_IWGRP | S_IWOTH)) && writeAll(fd, data) && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    // renameat() replaces a link planted meanwhile, never what it points to.
    ok = ok
        && (replace ? ::renameat(m_folder, temp.constData(), m_folder, m_name.constData()) == 0
                    : linkNew(m_folder, temp.constData(), m_name.constData()));
    if (!ok)
        ::unlinkat(m_folder, temp.constData(), 0);
    return ok;
}

bool ClipFrameSidecar::remove() const
{
    if (folder() < 0)
        return false;
    struct stat st;
    if (::fstatat(m_folder, m_name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    return isOurs(st) && ::unlinkat(m_folder, m_name.constData(), 0) == 0;
}
