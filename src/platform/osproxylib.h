#ifndef OSPROXYLIB_H
#define OSPROXYLIB_H

#include <QImage>
#include <QSize>
#include <QString>

class QObject;

// The thin layer over the operating system for what Qt does not cover.
// Failures show only in the results (false, an empty string).
//
// On the Linux desktop:
// - Thumbnails follow the freedesktop Thumbnail Managing Standard under
//   $XDG_CACHE_HOME/thumbnails ("normal" 128, "large" 256, "x-large" 512,
//   "xx-large" 1024 pixels); missing ones are made and stored there.
// - Opening and editing go through xdg-open; the file manager is asked via
//   org.freedesktop.FileManager1 to show an item; the recycle bin is the
//   freedesktop Trash.
// - getFolderPath knows these CSIDL values (see FolderId):
//     common application data  first folder of $XDG_DATA_DIRS (/usr/local/share)
//     common program files     $CommonProgramFiles, else /usr/lib
//     program files            $ProgramFiles, else /usr/lib
//     application data         $XDG_CONFIG_HOME (~/.config)
//     local application data   $XDG_DATA_HOME (~/.local/share)
//     desktop, documents, pictures, music, videos: the user's XDG folders
//   and returns an empty string for any other.
// - The Windows version tests are false; debugOutput writes to standard error.

// CSIDL values with a Linux counterpart.
enum FolderId {
    FolderDesktop = 0x0000,
    FolderDocuments = 0x0005,
    FolderMusic = 0x000d,
    FolderVideos = 0x000e,
    FolderDesktopDirectory = 0x0010,
    FolderAppData = 0x001a,
    FolderLocalAppData = 0x001c,
    FolderCommonAppData = 0x0023,
    FolderProgramFiles = 0x0026,
    FolderPictures = 0x0027,
    FolderCommonProgramFiles = 0x002b,
};

bool initThumbnailCache();
void releaseThumbnailCache();
// The image's longer edge is at most size.width() (the height is not used).
bool getShellThumbnail(const QString &path, QImage &image, QSize size);

void debugOutput(const QString &text);

bool isOsVersion5();
bool isOsVersion60();
bool isOsVersion61();

QString getFolderPath(int csidl);
QString getCommonAppDataPath();
QString getCommonProgramFilesPath();
QString getProgramFilesPath();

bool bringToFront(QObject *object);

// A process-wide extra folder in which the library looks for the shared
// libraries it loads by name itself; empty for none.
bool setDllDirectory(const QString &folder);
QString dllDirectory();

// Sets the extra folder to that of a file for its lifetime and restores the
// one before on destruction.
class DllDirectoryScope
{
public:
    explicit DllDirectoryScope(const QString &filePath);
    ~DllDirectoryScope();
    DllDirectoryScope(const DllDirectoryScope &) = delete;
    DllDirectoryScope &operator=(const DllDirectoryScope &) = delete;

private:
    QString m_previous;
};

// The absolute canonical path with "/" separators; false when nothing exists there.
bool getLongPathName(const QString &path, QString &longPath);

bool moveToRecycleBin(const QString &path);

int getFrameWidth();
int getTitleBarHeight();

// An executable of that name found on PATH.
bool getAppPath(const QString &executable, QString &path);

bool showInExplorer(const QString &path);
bool editWithShell(const QString &path);
// An executable target is started with the parameters; anything else (a
// file, a folder, a web address exactly as given) goes to the desktop's opener.
bool openWithShell(const QString &target, int unused, const QString &parameters);

// Replaces %NAME% by the value of the environment variable NAME where it is
// set and not empty.
void expandEnvironmentVariables(QString &text);

#endif
