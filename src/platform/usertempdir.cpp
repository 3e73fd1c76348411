#include "platform/usertempdir.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isPrivateFolder(const QString &path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// An existing entry must be ours and closed to others; never follow a link.
QString privateSubfolder(const QString &path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return QString();
    return isPrivateFolder(path) ? path : QString();
}

} // namespace

QString userTempPath()
{
    // Taken only when the user set it up properly; QStandardPaths would warn
    // about and repair (or silently replace) anything else.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return runtime;

    // tempPath() is empty when TMPDIR names no folder; never fall back to the root.
    const QString tempPath = QDir::tempPath();
    if (tempPath.isEmpty())
        return QString();
    return privateSubfolder(tempPath + QStringLiteral("/zpv-") + QString::number(::geteuid()));
}

QString userTempSubfolder(const QString &name)
{
    const QString parent = userTempPath();
    return parent.isEmpty() ? QString() : privateSubfolder(parent + u'/' + name);
}
