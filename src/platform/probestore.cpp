#include "platform/probestore.h"

#include "platform/clipframe_p.h"
#include "platform/fileuri.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstdio>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr char attributeName[] = "user.zpv-probe";
// A value and a file URI; anything far larger is not one of ours.
constexpr qint64 maxRecordSize = 64 * 1024;

// "1 <inode> <size> <mtime ns> ": the file, as it was, that the answer after
// this stamp describes.
QByteArray stampOf(const struct stat &st)
{
    return "1 " + QByteArray::number(quint64(st.st_ino)) + ' '
        + QByteArray::number(qint64(st.st_size)) + ' '
        + QByteArray::number(qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec) + ' ';
}

QByteArray valueOf(const struct stat &st, const MediaProbe &probe)
{
    return stampOf(st) + (probe.isMovie ? "1 " : "0 ") + QByteArray::number(probe.durationSeconds);
}

bool parseValue(const QByteArray &value, const struct stat &st, MediaProbe &probe)
{
    const QByteArray stamp = stampOf(st);
    if (!value.startsWith(stamp))
        return false;
    const QList<QByteArray> answer = value.mid(stamp.size()).split(' ');
    bool ok = false;
    const qint64 seconds = answer.size() == 2 ? answer.at(1).toLongLong(&ok) : 0;
    if (!ok || seconds < -1 || (answer.at(0) != "0" && answer.at(0) != "1"))
        return false;
    probe.isMovie = answer.at(0) == "1";
    probe.durationSeconds = seconds;
    probe.conclusive = true;
    return true;
}

bool closedToOthers(const struct stat &st)
{
    return !(st.st_mode & (S_IWGRP | S_IWOTH));
}

bool useAttribute(int fd)
{
    return fd >= 0 && !ClipFramePrivate::extendedAttributesDisabled();
}

QString recordPath(const QString &absolutePath)
{
    const QByteArray key
        = QCryptographicHash::hash(fileUri(absolutePath), QCryptographicHash::Sha1);
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/zpv/probes/"
        + QString::fromLatin1(key.toHex());
}

} // namespace

bool loadStoredProbe(int fd, const QString &absolutePath, const struct stat &st, MediaProbe &probe)
{
    if (useAttribute(fd) && (st.st_uid == ::geteuid() || st.st_uid == 0) && closedToOthers(st)) {
        char value[128];
        const ssize_t size = ::fgetxattr(fd, attributeName, value, sizeof value);
        if (size > 0 && parseValue(QByteArray(value, size), st, probe))
            return true;
    }
    QFile file(recordPath(absolutePath));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray record = file.read(maxRecordSize);
    const qsizetype end = record.indexOf('\n');
    return end > 0 && record.mid(end + 1) == fileUri(absolutePath)
        && parseValue(record.left(end), st, probe);
}

void storeProbe(int fd, const QString &absolutePath, const struct stat &st, const MediaProbe &probe)
{
    if (!probe.conclusive)
        return;
    const QByteArray value = valueOf(st, probe);
    // An attribute changes the file's status time: only files of ours get
    // one, never another user's file that we happen to be allowed to write.
    if (useAttribute(fd) && st.st_uid == ::geteuid() && closedToOthers(st)
        && ::fsetxattr(fd, attributeName, value.constData(), size_t(value.size()), 0) == 0)
        return;
    const QString path = recordPath(absolutePath);
    // The records name the user's media: keep them private.
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)
        || !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return;
    // Only a cache: a record a crash cuts short is refused and probed again,
    // so it is not forced to disk.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    const QByteArray record = value + '\n' + fileUri(absolutePath);
    if (file.open() && file.write(record) == record.size() && file.flush()
        && ::rename(
               QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData())
            == 0)
        file.setAutoRemove(false);
}

void forgetStoredProbe(const QString &path)
{
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    const int fd = ::open(QFile::encodeName(absolutePath).constData(),
        O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid())
        ::fremovexattr(fd, attributeName);
    if (fd >= 0)
        ::close(fd);
    QFile::remove(recordPath(absolutePath));
}
