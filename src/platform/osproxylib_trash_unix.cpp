#include "platform/osproxylib.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

namespace {

bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// QFile::moveToTrash moves the file into "./files" when the data folder is
// missing; with the folders in place it uses the home trash as it should.
bool prepareHomeTrash()
{
    const QString trash
        = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Trash";
    for (const auto *sub : { "files", "info" }) {
        const QString folder = trash + u'/' + QLatin1StringView(sub);
        if (!QDir().mkpath(folder))
            return false;
    }
    return QFile::setPermissions(trash, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A trashed item lies in ".../files/<name>" with ".../info/<name>.trashinfo" beside.
bool landedInTrash(const QString &trashed)
{
    const QFileInfo item(trashed);
    if (!item.isAbsolute() || !item.exists())
        return false;
    const QDir files = item.absoluteDir();
    if (files.dirName() != u"files")
        return false;
    const QString info = QFileInfo(files.absolutePath()).absolutePath() + u"/info/"
        + item.fileName() + u".trashinfo";
    return QFileInfo(info).isFile();
}

} // namespace

bool moveToRecycleBin(const QString &path)
{
    // A newline in a name would add a line to the ".trashinfo" record.
    if (path.isEmpty() || hasControlCharacter(path))
        return false;
    const QFileInfo source(path);
    if (!source.exists() && !source.isSymLink())
        return false;
    if (!prepareHomeTrash())
        return false;
    const QString original = source.absoluteFilePath();
    QString trashed;
    if (!QFile::moveToTrash(original, &trashed))
        return false;
    if (landedInTrash(trashed) && !QFileInfo::exists(original))
        return true;
    // Somewhere else: put it back rather than lose it.
    if (!trashed.isEmpty() && QFileInfo::exists(trashed) && !QFileInfo::exists(original))
        std::rename(QFile::encodeName(QFileInfo(trashed).absoluteFilePath()).constData(),
            QFile::encodeName(original).constData());
    return false;
}
