#include "platform/osproxylib.h"

#include "platform/fileuri.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStyle>
#include <QWidget>

#include <cstdio>

namespace {

QString dllFolder;

QString xdgOpener()
{
    return QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
}

bool startOpener(const QString &target)
{
    const QString opener = xdgOpener();
    if (opener.isEmpty())
        return false;
    // xdg-open would take a leading dash for an option.
    const QString argument
        = target.startsWith(u'-') ? QFileInfo(target).absoluteFilePath() : target;
    return QProcess::startDetached(opener, { argument });
}

QString environmentOr(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

QString standardFolder(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::writableLocation(location);
}

QString firstDataDir()
{
    const QString dirs = environmentOr("XDG_DATA_DIRS", QStringLiteral("/usr/local/share"));
    return dirs.section(u':', 0, 0, QString::SectionSkipEmpty);
}

QStyle *widgetStyle()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) ? QApplication::style()
                                                                      : nullptr;
}

} // namespace

void debugOutput(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

// Those ask for Windows releases.
bool isOsVersion5()
{
    return false;
}

bool isOsVersion60()
{
    return false;
}

bool isOsVersion61()
{
    return false;
}

QString getFolderPath(int csidl)
{
    switch (csidl) {
    case FolderDesktop:
    case FolderDesktopDirectory:
        return standardFolder(QStandardPaths::DesktopLocation);
    case FolderDocuments:
        return standardFolder(QStandardPaths::DocumentsLocation);
    case FolderMusic:
        return standardFolder(QStandardPaths::MusicLocation);
    case FolderVideos:
        return standardFolder(QStandardPaths::MoviesLocation);
    case FolderPictures:
        return standardFolder(QStandardPaths::PicturesLocation);
    case FolderAppData:
        return standardFolder(QStandardPaths::GenericConfigLocation);
    case FolderLocalAppData:
        return standardFolder(QStandardPaths::GenericDataLocation);
    case FolderCommonAppData:
        return firstDataDir();
    case FolderCommonProgramFiles:
        return environmentOr("CommonProgramFiles", QStringLiteral("/usr/lib"));
    case FolderProgramFiles:
        return environmentOr("ProgramFiles", QStringLiteral("/usr/lib"));
    default:
        return QString();
    }
}

QString getCommonAppDataPath()
{
    return getFolderPath(FolderCommonAppData);
}

QString getCommonProgramFilesPath()
{
    return getFolderPath(FolderCommonProgramFiles);
}

QString getProgramFilesPath()
{
    return getFolderPath(FolderProgramFiles);
}

bool bringToFront(QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return false;
    widget->show();
    widget->setWindowState((widget->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    widget->raise();
    widget->activateWindow();
    return true;
}

bool setDllDirectory(const QString &folder)
{
    if (!folder.isEmpty() && !QFileInfo(folder).isDir())
        return false;
    dllFolder = folder.isEmpty() ? QString() : QFileInfo(folder).absoluteFilePath();
    return true;
}

QString dllDirectory()
{
    return dllFolder;
}

DllDirectoryScope::DllDirectoryScope(const QString &filePath)
    : m_previous(dllFolder)
{
    setDllDirectory(QFileInfo(filePath).absolutePath());
}

DllDirectoryScope::~DllDirectoryScope()
{
    dllFolder = m_previous;
}

bool getLongPathName(const QString &path, QString &longPath)
{
    longPath = path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
    return !longPath.isEmpty();
}

int getFrameWidth()
{
    const QStyle *style = widgetStyle();
    return style ? style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth) : 0;
}

int getTitleBarHeight()
{
    const QStyle *style = widgetStyle();
    return style ? style->pixelMetric(QStyle::PM_TitleBarHeight) + getFrameWidth() : 0;
}

bool getAppPath(const QString &executable, QString &path)
{
    path.clear();
    if (executable.isEmpty() || executable.contains(u'/'))
        return false;
    path = QStandardPaths::findExecutable(executable);
    return !path.isEmpty();
}

bool showInExplorer(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return false;
    const QString absolute = info.absoluteFilePath();

    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface *busInterface = bus.isConnected() ? bus.interface() : nullptr;
    if (busInterface
        && (busInterface->isServiceRegistered(service).value()
            || busInterface->activatableServiceNames().value().contains(service))) {
        QDBusMessage call = QDBusMessage::createMethodCall(service,
            QStringLiteral("/org/freedesktop/FileManager1"), service, QStringLiteral("ShowItems"));
        call << QStringList { QString::fromLatin1(fileUri(absolute)) } << QString();
        if (bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage)
            return true;
    }
    return startOpener(info.absolutePath());
}

bool editWithShell(const QString &path)
{
    return !path.isEmpty() && startOpener(path);
}

bool openWithShell(const QString &target, int, const QString &parameters)
{
    if (target.isEmpty())
        return false;
    const QFileInfo info(target);
    if (info.isFile() && info.isExecutable())
        return QProcess::startDetached(info.absoluteFilePath(), QProcess::splitCommand(parameters));
    return startOpener(target);
}

void expandEnvironmentVariables(QString &text)
{
    const QStringList parts = text.split(u'%');
    for (qsizetype i = 1; i < parts.size(); i += 2) {
        const QString &name = parts.at(i);
        if (name.isEmpty())
            continue;
        const QString value = qEnvironmentVariable(name.toLocal8Bit().constData());
        if (!value.isEmpty())
            text.replace(u'%' + name + u'%', value, Qt::CaseSensitive);
    }
}
