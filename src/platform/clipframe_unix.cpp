#include "platform/clipframe_p.h"
#include "platform/clipframesidecar.h"
#include "platform/fileuri.h"
#include "zpvlogging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

std::atomic_bool xattrDisabled { false };

const QLatin1StringView attributesKey("attributes");

QByteArray xattrName(const QString &name)
{
    return QByteArrayLiteral("user.zpv.") + name.toUtf8();
}

bool validName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QChar(0));
}

// Errors after which the text goes to a sidecar instead.
bool isFallbackError(int error)
{
    return error == ENOTSUP || error == ENOSPC || error == E2BIG || error == EPERM
        || error == EACCES;
}

int xattrSet(const QByteArray &file, const QByteArray &name, const QByteArray &value)
{
    if (xattrDisabled) {
        errno = ENOTSUP;
        return -1;
    }
    return ::setxattr(file.constData(), name.constData(), value.constData(), value.size(), 0);
}

int xattrRemove(const QByteArray &file, const QByteArray &name)
{
    if (xattrDisabled) {
        errno = ENOTSUP;
        return -1;
    }
    return ::removexattr(file.constData(), name.constData());
}

// 0 and the value, or -1 with errno set.
int xattrGet(const QByteArray &file, const QByteArray &name, QByteArray &value)
{
    if (xattrDisabled) {
        errno = ENOTSUP;
        return -1;
    }
    // Badge texts fit the first try; the size is asked for only when not.
    value.resize(4096);
    for (;;) {
        const ssize_t got
            = ::getxattr(file.constData(), name.constData(), value.data(), value.size());
        if (got >= 0) {
            value.resize(got);
            return 0;
        }
        if (errno != ERANGE)
            return -1;
        const ssize_t size = ::getxattr(file.constData(), name.constData(), nullptr, 0);
        if (size < 0)
            return -1;
        value.resize(size); // ERANGE again if it grows meanwhile: ask once more
    }
}

struct FileState
{
    QString path; // absolute
    QByteArray nativePath;
    // Whether the file is there, st then holding its state; asked once.
    bool stat() const
    {
        if (!statted)
            exists = ::stat(nativePath.constData(), &st) == 0;
        statted = true;
        return exists;
    }

    mutable struct stat st = {};
    mutable bool statted = false;
    mutable bool exists = false;
};

// No system call yet: a reader whose attribute is there needs none.
bool locateFile(const QString &path, FileState &state)
{
    if (path.isEmpty())
        return false;
    state.path = QFileInfo(path).absoluteFilePath();
    state.nativePath = QFile::encodeName(state.path);
    return true;
}

bool statFile(const QString &path, FileState &state)
{
    return locateFile(path, state) && state.stat();
}

QString userRecordPath(const QString &absolutePath)
{
    const QByteArray key
        = QCryptographicHash::hash(fileUri(absolutePath), QCryptographicHash::Sha1);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + u"/zpv/attributes/" + QString::fromLatin1(key.toHex()) + u".json";
}

QString mtimeText(const struct stat &st)
{
    return QString::number(qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
}

QJsonObject loadRecord(const QString &recordPath)
{
    // Most media have no record: asked of the system directly.
    const int fd = ::open(QFile::encodeName(recordPath).constData(), O_RDONLY | O_CLOEXEC);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return {};
    }
    return QJsonDocument::fromJson(file.readAll()).object();
}

bool isEmptyRecord(const QJsonObject &record)
{
    return record.value(attributesKey).toObject().isEmpty();
}

// An empty record removes the file.
bool saveRecord(const QString &recordPath, const QJsonObject &record)
{
    if (isEmptyRecord(record))
        return !QFile::exists(recordPath) || QFile::remove(recordPath);
    QSaveFile file(recordPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(record).toJson(QJsonDocument::Compact));
    return file.commit();
}

QJsonObject withAttribute(
    QJsonObject record, const FileState &state, const QString &name, const QString *text)
{
    record.insert(QLatin1StringView("uri"), QString::fromLatin1(fileUri(state.path)));
    record.insert(QLatin1StringView("size"), QString::number(qint64(state.st.st_size)));
    record.insert(QLatin1StringView("mtime"), mtimeText(state.st));
    QJsonObject attributes = record.value(attributesKey).toObject();
    if (text)
        attributes.insert(name, *text);
    else
        attributes.remove(name);
    record.insert(attributesKey, attributes);
    return record;
}

// Whether the record was made for the file as it is now; a record without
// size and time cannot tell, so it does not count.
bool describesFile(const QJsonObject &record, const FileState &state)
{
    return state.stat()
        && record.value(QLatin1StringView("size")).toString()
        == QString::number(qint64(state.st.st_size))
        && record.value(QLatin1StringView("mtime")).toString() == mtimeText(state.st);
}

bool userRecordMatches(const QJsonObject &record, const FileState &state, bool checkFileTimes)
{
    if (record.isEmpty()
        || record.value(QLatin1StringView("uri")).toString().toLatin1() != fileUri(state.path))
        return false;
    return !checkFileTimes || describesFile(record, state);
}

// The record beside the file when it counts for the file as it is now. The
// URI is not compared: a folder moved with its media keeps its records.
QJsonObject loadBeside(const ClipFrameSidecar &sidecar, const FileState &state)
{
    QByteArray data;
    if (!sidecar.load(data))
        return {};
    const QJsonObject record = QJsonDocument::fromJson(data).object();
    if (describesFile(record, state))
        return record;
    qCWarning(lcPlatform,
        "ClipFrame::loadBeside() - ignoring a record made for another "
        "state of: %s",
        qUtf8Printable(state.path));
    return {};
}

bool saveBeside(const ClipFrameSidecar &sidecar, const QJsonObject &record)
{
    return isEmptyRecord(record)
        ? sidecar.remove()
        : sidecar.save(QJsonDocument(record).toJson(QJsonDocument::Compact));
}

bool lookUp(const QJsonObject &record, const QString &name, QString &text)
{
    const QJsonValue value = record.value(attributesKey).toObject().value(name);
    if (!value.isString())
        return false;
    text = value.toString();
    return true;
}

// Drops the name from both sidecars; false when a record holding it could
// not be rewritten.
bool dropFromSidecars(const FileState &state, const QString &name)
{
    bool ok = true;
    const ClipFrameSidecar beside(state.path);
    QJsonObject record = loadBeside(beside, state);
    QString unused;
    if (lookUp(record, name, unused))
        ok = saveBeside(beside, withAttribute(record, state, name, nullptr)) && ok;
    const QString user = userRecordPath(state.path);
    record = loadRecord(user);
    if (userRecordMatches(record, state, false) && lookUp(record, name, unused))
        ok = saveRecord(user, withAttribute(record, state, name, nullptr)) && ok;
    return ok;
}

bool writeSidecar(const FileState &state, const QString &name, const QString &text)
{
    const ClipFrameSidecar beside(state.path);
    const QJsonObject besideRecord = loadBeside(beside, state);
    if (saveBeside(beside, withAttribute(besideRecord, state, name, &text)))
        return true;

    // Not beside the file (a folder closed to us, or something not ours at
    // the record's name). A record there that counts would hide the
    // per-user one from readers, so it must not hold the name.
    QString unused;
    if (lookUp(besideRecord, name, unused))
        return false;
    const QString user = userRecordPath(state.path);
    // The records name the user's media: keep them private.
    const QString folder = QFileInfo(user).absolutePath();
    if (!QDir().mkpath(folder)
        || !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return false;
    QJsonObject record = loadRecord(user);
    if (!userRecordMatches(record, state, true))
        record = QJsonObject();
    return saveRecord(user, withAttribute(record, state, name, &text));
}

} // namespace

namespace ClipFramePrivate {

void setExtendedAttributesDisabled(bool disabled)
{
    xattrDisabled = disabled;
}

bool extendedAttributesDisabled()
{
    return xattrDisabled;
}

QString sidecarPath(const QString &path)
{
    const QFileInfo info(path);
    return info.absolutePath() + u"/." + info.fileName() + u".zpvattr";
}

QString userStorePath(const QString &path)
{
    return userRecordPath(QFileInfo(path).absoluteFilePath());
}

bool readAttribute(const QString &path, const QString &name, QString &text)
{
    FileState state;
    if (!validName(name) || !locateFile(path, state))
        return false;
    QByteArray value;
    if (xattrGet(state.nativePath, xattrName(name), value) == 0) {
        text = QString::fromUtf8(value);
        return true;
    }
    // No such attribute says the file is there; anything else may mean it is not.
    const int error = errno;
    if (error != ENODATA && !state.stat())
        return false;
    if (error != ENODATA && !isFallbackError(error)) {
        qCWarning(lcPlatform, "ClipFrame::getFileAttribute() - cannot read attribute of: %s (%s)",
            qUtf8Printable(state.path), strerror(error));
        return false;
    }
    if (lookUp(loadBeside(ClipFrameSidecar(state.path), state), name, text))
        return true;
    const QJsonObject record = loadRecord(userRecordPath(state.path));
    if (userRecordMatches(record, state, true) && lookUp(record, name, text))
        return true;
    text.clear();
    return true;
}

bool writeAttribute(const QString &path, const QString &name, const QString &text)
{
    FileState state;
    if (!validName(name) || !statFile(path, state))
        return false;
    const QByteArray xname = xattrName(name);
    if (xattrSet(state.nativePath, xname, text.toUtf8()) == 0) {
        dropFromSidecars(state, name); // shadowed by the attribute anyway
        return true;
    }
    if (!isFallbackError(errno)) {
        qCWarning(lcPlatform, "ClipFrame::setFileAttribute() - cannot store attribute of: %s (%s)",
            qUtf8Printable(state.path), strerror(errno));
        return false;
    }

    // An older text under the same name would hide the sidecar from readers;
    // if it cannot go, the write fails before anything is changed.
    QByteArray older;
    const bool hasOlder = xattrGet(state.nativePath, xname, older) == 0;
    if (hasOlder && xattrRemove(state.nativePath, xname) != 0 && errno != ENODATA)
        return false;
    if (writeSidecar(state, name, text))
        return true;
    if (hasOlder)
        xattrSet(state.nativePath, xname, older);
    return false;
}

bool removeAttribute(const QString &path, const QString &name)
{
    FileState state;
    if (!validName(name) || !statFile(path, state))
        return false;
    const QByteArray xname = xattrName(name);
    bool ok = true;
    if (xattrRemove(state.nativePath, xname) != 0 && errno != ENODATA && errno != ENOTSUP) {
        // Refused (e.g. a read-only file); fine only when there is nothing to remove.
        QByteArray unused;
        ok = xattrGet(state.nativePath, xname, unused) != 0 && errno == ENODATA;
    }
    return dropFromSidecars(state, name) && ok;
}

} // namespace ClipFramePrivate
