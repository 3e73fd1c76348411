#include "catalog/metadatadir.h"

#include "platform/sharedimages.h"

#include "catalog/appinfo.h"
#include "catalog/appinfoxml.h"
#include "catalog/ctaappinfo.h"
#include "platform/xmlguard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

#if defined(Q_OS_WIN)
const QString librarySuffix = QStringLiteral(".dll");
#elif defined(Q_OS_MACOS)
const QString librarySuffix = QStringLiteral(".dylib");
#else
const QString librarySuffix = QStringLiteral(".so");
#endif

QString commonProgramFiles()
{
    return QDir::fromNativeSeparators(qEnvironmentVariable("CommonProgramFiles"));
}

QString hostFolder()
{
    return QCoreApplication::applicationDirPath();
}

bool isFolder(const QString &path)
{
    return QFileInfo(path).isDir();
}

QString idFileName(const QString &appId)
{
    return (appId.startsWith(u'_') ? appId.mid(1) : appId);
}

// Subfolders to descend into; links are left out so that a loop of them
// cannot recurse without end.
QStringList subfolders(const QDir &dir)
{
    return dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks | QDir::Hidden);
}

bool loadIcon(const QString &folder, const QString &name, QImage &icon)
{
    QString file = folder + name;
    if (!QFileInfo::exists(file))
        file = folder + QStringLiteral("missing_icon.png");
    if (!QFileInfo::exists(file)) {
        initSharedImages();
        file = QString::fromLatin1(builtInMissingIcon);
    }
    return icon.load(file);
}

// An icon name from a metadata file may only name a file of its own folder.
bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/')
        && !name.contains(u'\\');
}

} // namespace

bool metaDataDir(QString &dir)
{
    const QString common = commonProgramFiles();
    QString candidate;
    if (!common.isEmpty()
        && isFolder(common + QStringLiteral("/nobridge/ZPVPlugins/ZPV/MetaData/")))
        candidate = common + QStringLiteral("/nobridge/ZPVPlugins/ZPV/MetaData/");
    else if (isFolder(hostFolder() + QStringLiteral("/MetaData/")))
        candidate = hostFolder() + QStringLiteral("/MetaData/");
    else
        return false;
    dir = QDir::toNativeSeparators(candidate);
    return true;
}

bool appletsDir(QString &dir)
{
    const QString common = commonProgramFiles();
    if (isFolder(hostFolder() + QStringLiteral("/Applets/")))
        dir = hostFolder() + QStringLiteral("/Applets/");
    else if (!common.isEmpty() && isFolder(common + QStringLiteral("/NoBridge/ZPVPlugins/")))
        dir = common + QStringLiteral("/NoBridge/ZPVPlugins/");
    else
        return false;
    return true;
}

bool resolveAppPath(const QString &appPath, QString &resolved)
{
    const QString relative = QDir::fromNativeSeparators(appPath);
    const QString common = commonProgramFiles();
    QString candidate;
    if (!common.isEmpty() && QFileInfo(common + u'/' + relative).isFile())
        candidate = common + u'/' + relative;
    else
        candidate = hostFolder() + u'/' + relative;
    const QFileInfo file(candidate);
    if (relative.isEmpty() || !file.isFile())
        return false;
    resolved = QDir::cleanPath(file.canonicalFilePath());
    return true;
}

bool readMetaFile(const QString &path, QString &text)
{
    if (!path.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive) || !QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return false;
    // The files are written as UTF-8; one that is not (an old 8-bit file)
    // still reads a byte per character, as it always did.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(bytes);
    text = utf8.hasError() ? QString::fromLatin1(bytes) : decoded;
    return true;
}

bool readMetaDataTexts(QStringList &texts)
{
    QString dir;
    if (!metaDataDir(dir))
        return false;
    const QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        QString text;
        if (readMetaFile(dir + name, text))
            texts.append(text);
    }
    return true;
}

bool loadAppInfos(QList<CTAAppInfo> &infos, unsigned filter)
{
    QString dir;
    QStringList texts;
    if (!metaDataDir(dir) || !readMetaDataTexts(texts))
        return false;

    for (const QString &text : std::as_const(texts)) {
        CTAAppInfo info;
        if (!xmlToAppInfo(text, info))
            continue;
        if (filter != 0 && (unsigned(info.appType) & filter) == 0)
            continue;
        if (!resolveAppPath(info.appPath, info.appPath))
            continue;
        if (filter == 2048) {
            infos.append(info);
            continue;
        }
        if (info.iconPaths[0].isEmpty()) {
            if (filter == 0)
                infos.append(info);
            continue;
        }
        if (loadIcon(dir, info.iconPaths[0], info.icon))
            infos.append(info);
    }
    return true;
}

bool metaDataTextForId(const QString &appId, QString &text)
{
    QString dir;
    return metaDataDir(dir) && readMetaFile(dir + idFileName(appId) + QStringLiteral(".xml"), text);
}

bool appPathForId(const QString &appId, QString &path)
{
    QString text;
    if (metaDataTextForId(appId, text)) {
        ZPVGlobal::AppInfo info;
        return xmlToAppInfo(text, info) && resolveAppPath(info.appPath, path);
    }
    QString dir;
    return appletsDir(dir) && findAppletLibrary(dir, idFileName(appId), path);
}

bool findAppletLibrary(const QString &dir, const QString &name, QString &path)
{
    const QDir folder(dir);
    const QString wanted = name + librarySuffix;
    const QStringList files
        = folder.entryList(QStringList { u'*' + librarySuffix }, QDir::Files | QDir::Hidden);
    for (const QString &file : files) {
        if (file.compare(wanted, Qt::CaseInsensitive) == 0) {
            path = folder.filePath(file);
            return true;
        }
    }
    const QStringList folders = subfolders(folder);
    for (const QString &sub : folders) {
        if (findAppletLibrary(folder.filePath(sub), name, path))
            return true;
    }
    return false;
}

bool collectMetaFiles(const QString &dir, QStringList &files)
{
    const QDir folder(dir);
    const QStringList names
        = folder.entryList(QStringList { QStringLiteral("*.xml") }, QDir::Files | QDir::Hidden);
    for (const QString &name : names)
        files.append(folder.filePath(name));
    const QStringList folders = subfolders(folder);
    for (const QString &sub : folders)
        collectMetaFiles(folder.filePath(sub), files);
    return !files.isEmpty();
}

void refreshMetaData()
{
    QString applets;
    QStringList files;
    if (!appletsDir(applets) || !collectMetaFiles(applets, files))
        return;
    const QString target = hostFolder() + QStringLiteral("/MetaData");
    if (!QDir().mkpath(target))
        return;

    for (const QString &path : std::as_const(files)) {
        QFile source(path);
        if (!source.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(source.readAll());
        QDomDocument doc;
        CTAAppInfo info;
        if (!setGuardedContent(doc, text) || !xmlToAppInfo(text, info))
            continue;

        const QFileInfo sourceInfo(path);
        QSaveFile out(target + u'/' + sourceInfo.fileName());
        if (!out.open(QIODevice::WriteOnly) || out.write(doc.toString(1).toUtf8()) < 0
            || !out.commit())
            continue;

        const QString icon = info.iconPaths[0];
        const QString iconTarget = target + u'/' + icon;
        if (isPlainFileName(icon) && !QFileInfo::exists(iconTarget))
            QFile::copy(sourceInfo.absolutePath() + u'/' + icon, iconTarget);
    }
}
