#include "catalog/capturefolders.h"

#include "catalog/contenttypeinfo.h"
#include "platform/suitesettings.h"
#include "platform/usertempdir.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <array>

namespace {

struct CatalogType
{
    int id;
    const char *name;
    const char *title;
};

constexpr std::array<CatalogType, 6> catalogTypes { {
    { 7, QT_TRANSLATE_NOOP("CaptureCatalogClass", "All"),
        QT_TRANSLATE_NOOP("CaptureCatalogClass", "All Content") },
    { 1, QT_TRANSLATE_NOOP("CaptureCatalogClass", "Photos"),
        QT_TRANSLATE_NOOP("CaptureCatalogClass", "Photos") },
    { 2, QT_TRANSLATE_NOOP("CaptureCatalogClass", "Videos"),
        QT_TRANSLATE_NOOP("CaptureCatalogClass", "Videos") },
    { 4, QT_TRANSLATE_NOOP("CaptureCatalogClass", "Motion"),
        QT_TRANSLATE_NOOP("CaptureCatalogClass", "Motion Videos") },
    { 8, QT_TRANSLATE_NOOP("CaptureCatalogClass", "MagixPhotos"),
        QT_TRANSLATE_NOOP("CaptureCatalogClass", "Magix Photos") },
    { 16, QT_TRANSLATE_NOOP("CaptureCatalogClass", "MagixVideos"),
        QT_TRANSLATE_NOOP("CaptureCatalogClass", "Magix Videos") },
} };

struct FolderSetting
{
    int id;
    const char *key;
};

// The order in which stale settings are repaired and the "All" list is built.
constexpr std::array<FolderSetting, 5> folderSettings { {
    { 1, "PhotoFolder" },
    { 2, "MovieFolder" },
    { 4, "MotionFolder" },
    { 8, "MyPhotosFolder" },
    { 16, "MyVideosFolder" },
} };

bool isDir(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

// Emptied at logout or boot, so never a home for captures: the private
// runtime folder and the suite's own temporary folder with all they hold,
// and the shared temporary folder itself (a folder a user chose inside it
// stays the user's choice).
bool isTemporaryPlace(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    const auto within = [&canonical](const QString &place) {
        const QString root = place.isEmpty() ? QString() : QFileInfo(place).canonicalFilePath();
        return !root.isEmpty() && (canonical == root || canonical.startsWith(root + u'/'));
    };
    const QString shared = QFileInfo(QDir::tempPath()).canonicalFilePath();
    return within(qEnvironmentVariable("XDG_RUNTIME_DIR")) || within(userTempPath())
        || (!shared.isEmpty() && canonical == shared);
}

bool isCaptureHome(const QString &path)
{
    return isDir(path) && !isTemporaryPlace(path);
}

QString translated(const char *text)
{
    return QCoreApplication::translate("CaptureCatalogClass", text);
}

// Every folder setting, stale ones replaced by (created) defaults and stored.
std::array<QString, folderSettings.size()> readCaptureFolders()
{
    QSettings settings = QSettings(
        QLatin1String(SuiteSettings::organisation), QLatin1String(SuiteSettings::application));
    settings.beginGroup(QStringLiteral("Preferences"));
    std::array<QString, folderSettings.size()> folders;
    for (std::size_t i = 0; i < folderSettings.size(); ++i)
        folders[i] = settings.value(QLatin1String(folderSettings[i].key)).toString();
    for (std::size_t i = 0; i < folderSettings.size(); ++i) {
        if (isCaptureHome(folders[i]))
            continue;
        defaultFolder(folders[i], folderSettings[i].id);
        settings.setValue(QLatin1String(folderSettings[i].key), folders[i]);
    }
    return folders;
}

int folderIndex(int type)
{
    for (std::size_t i = 0; i < folderSettings.size(); ++i) {
        if (folderSettings[i].id == type)
            return int(i);
    }
    return -1;
}

} // namespace

int catalogTypeCount()
{
    return int(catalogTypes.size());
}

ulong catalogTypeAt(int index)
{
    if (index < 0 || index >= catalogTypeCount())
        return 0xFFFFFFFFul;
    return ulong(catalogTypes[std::size_t(index)].id);
}

bool isMagixInstalled(int type)
{
    const QString application = type == 8 ? QStringLiteral("Foto_Manager_9")
        : type == 16                      ? QStringLiteral("Video_easy_SE")
                                          : QString();
    if (application.isEmpty())
        return false;
    const QSettings settings(QSettings::SystemScope, QStringLiteral("MAGIX"), application);
    return !settings.value(QStringLiteral("ProgramPath")).toString().isEmpty();
}

QString storageLocation(int location)
{
    const QString path
        = QStandardPaths::writableLocation(QStandardPaths::StandardLocation(location)).trimmed();
    return isCaptureHome(path) ? path : fallbackLocation(location);
}

QString fallbackLocation(int location)
{
    QString base;
    for (const auto candidate : { QStandardPaths::DocumentsLocation,
             QStandardPaths::AppLocalDataLocation, QStandardPaths::HomeLocation }) {
        const QString path = QStandardPaths::writableLocation(candidate).trimmed();
        if (isCaptureHome(path)) {
            base = path;
            break;
        }
    }
    if (base.isEmpty())
        return QString();

    const QString sub = location == QStandardPaths::MoviesLocation ? QStringLiteral("Videos")
        : location == QStandardPaths::PicturesLocation             ? QStringLiteral("Pictures")
                                                                   : QString();
    if (sub.isEmpty())
        return base;
    QDir(base).mkdir(sub);
    return base + u'/' + sub;
}

bool defaultFolder(QString &folder, int type)
{
    QString base;
    switch (type) {
    case 1:
        base = storageLocation(QStandardPaths::PicturesLocation);
        break;
    case 2:
    case 4:
        base = storageLocation(QStandardPaths::MoviesLocation);
        break;
    case 8:
    case 16: {
        const QString location = storageLocation(
            type == 8 ? QStandardPaths::PicturesLocation : QStandardPaths::MoviesLocation);
        if (!location.isEmpty())
            base = location + QStringLiteral("/Magix");
        break;
    }
    default:
        base = folder;
        break;
    }
    // Without any location the folder would be made at the root.
    if (base.isEmpty()) {
        folder.clear();
        return false;
    }

    QString path = base;
    if (type != 8 && type != 16) {
        const QString pictorix = base + QStringLiteral("/Pictorix");
        if (isDir(pictorix)) {
            path = pictorix;
        } else {
            path = base + QStringLiteral("/Velmora Webcam");
            if (type == 4)
                path += QStringLiteral("/Motion Detection");
        }
    }
    folder = QDir::cleanPath(path);

    if (!isDir(folder) && ((type != 8 && type != 16) || isMagixInstalled(type)))
        QDir().mkpath(folder);
    return isDir(folder);
}

bool captureFolder(QString &folder, int type)
{
    const auto folders = readCaptureFolders();
    const int index = folderIndex(type);
    if (index >= 0)
        folder = folders[std::size_t(index)];
    return true;
}

bool folderList(QList<QDir> &dirs, int type)
{
    auto folders = readCaptureFolders();
    for (std::size_t i = 0; i < folderSettings.size(); ++i) {
        if (folders[i].isEmpty())
            defaultFolder(folders[i], folderSettings[i].id);
    }

    const auto append = [&](std::size_t i) {
        QDir dir(folders[i]);
        applyNameFilters(folderSettings[i].id, dir);
        dirs.append(dir);
    };
    if (type == 7) {
        for (std::size_t i = 0; i < folderSettings.size(); ++i)
            append(i);
        return true;
    }
    const int index = folderIndex(type);
    if (index < 0)
        return false;
    append(std::size_t(index));
    return true;
}

bool nameFilters(int type, QStringList &filters)
{
    switch (type) {
    case 7:
        filters = QStringList { QStringLiteral("*.wmv"), QStringLiteral("*.jpeg"),
            QStringLiteral("*.jpg"), QStringLiteral("*.png"), QStringLiteral("*.gif"),
            QStringLiteral("*.avi"), QStringLiteral("*.mov"), QStringLiteral("*.mp4") };
        break;
    case 1:
    case 8:
        filters = QStringList { QStringLiteral("*.jpeg"), QStringLiteral("*.jpg"),
            QStringLiteral("*.png"), QStringLiteral("*.gif") };
        break;
    case 2:
    case 16:
        filters = QStringList { QStringLiteral("Video*.wmv"), QStringLiteral("Video*.avi"),
            QStringLiteral("Video*.mov"), QStringLiteral("Video*.mp4") };
        break;
    case 4:
        filters = QStringList { QStringLiteral("Motion*.wmv"), QStringLiteral("Motion*.avi") };
        break;
    default:
        filters.clear();
        break;
    }
    return true;
}

bool applyNameFilters(int type, QDir &dir)
{
    QStringList filters;
    nameFilters(type, filters);
    dir.setNameFilters(filters);
    return true;
}

bool describeContentType(int type, ContentTypeInfo &info)
{
    const auto row = std::find_if(catalogTypes.begin(), catalogTypes.end(),
        [type](const CatalogType &t) { return t.id == type; });
    if (row == catalogTypes.end())
        return false;
    if ((type == 8 || type == 16) && !isMagixInstalled(type))
        return false;

    info.title = translated(row->title);
    info.detail = info.title;
    info.type = ulong(type);
    info.name = translated(row->name);
    info.dirList.clear();
    folderList(info.dirList, type);
    return true;
}

bool nextCaptureFile(QString &path, int type, QString &pattern, ulong &index)
{
    const auto folders = readCaptureFolders();
    if (folders[0].isEmpty() || folders[1].isEmpty() || folders[2].isEmpty())
        return false;

    QString key;
    QString filePattern;
    QString folder;
    switch (type) {
    case 1:
        key = QStringLiteral("PictureIndex");
        filePattern = QStringLiteral("Picture %ld.jpg");
        folder = folders[0];
        break;
    case 2:
        key = QStringLiteral("MovieIndex");
        filePattern = QStringLiteral("Video %ld.*");
        folder = folders[1];
        break;
    case 4:
        key = QStringLiteral("MotionIndex");
        filePattern = QStringLiteral("Motion %ld.*");
        folder = folders[2];
        break;
    default:
        return false;
    }

    QSettings settings(QStringLiteral("Velmora"), QStringLiteral("ZPV"));
    settings.beginGroup(QStringLiteral("CaptureCatalog"));
    qulonglong number = settings.value(key, 1).toULongLong();

    constexpr int maxTries = 100000;
    QString candidate;
    bool found = false;
    for (int attempt = 1; attempt <= maxTries; ++attempt) {
        if (attempt >= 11)
            number += 10;
        candidate = QDir::cleanPath(folder + u'/'
            + QString(filePattern).replace(QLatin1String("%ld"), QString::number(number)));
        const QFileInfo info(candidate);
        // Anything of that name (a folder, a dangling link) blocks the name.
        const QStringList taken
            = QDir(info.path())
                  .entryList(QStringList { info.fileName() },
                      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        if (taken.isEmpty()) {
            found = true;
            break;
        }
        ++number;
    }
    if (!found)
        return false;

    settings.setValue(key, number);
    path = candidate;
    pattern = folder + u'/' + filePattern;
    index = ulong(number);
    return true;
}

bool isRawVideo(const QString &path)
{
    return path.section(u'/', -1).contains(QLatin1String("Raw Video"));
}
