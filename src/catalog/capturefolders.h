#ifndef CAPTUREFOLDERS_H
#define CAPTUREFOLDERS_H

#include "zpvtwitter_export.h"

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

struct ContentTypeInfo;

// Where the webcam's captures are stored and what the next one is called.
// Nothing is cached: every call reads the settings and the file system anew,
// and replaces missing or stale folder settings by created defaults.
//
// Locations are QStandardPaths::StandardLocation values. Content type ids:
// 7 all, 1 photos, 2 videos, 4 motion videos, 8 and 16 the MAGIX photo and
// video folders.

// Captures never go to a folder that is emptied at logout or boot: without
// the standard location, the documents, application-data or home folder is
// used, and a null string when none of them exists.
ZPVTWITTER_EXPORT QString storageLocation(int location);
ZPVTWITTER_EXPORT QString fallbackLocation(int location);

ZPVTWITTER_EXPORT bool defaultFolder(QString &folder, int type);
ZPVTWITTER_EXPORT bool captureFolder(QString &folder, int type);
ZPVTWITTER_EXPORT bool folderList(QList<QDir> &dirs, int type);

ZPVTWITTER_EXPORT bool nameFilters(int type, QStringList &filters);
ZPVTWITTER_EXPORT bool applyNameFilters(int type, QDir &dir);

// Fails for ids outside the table and for a MAGIX id whose application is
// not installed; `info.hostList` is left alone.
ZPVTWITTER_EXPORT bool describeContentType(int type, ContentTypeInfo &info);

// The first free capture name of type 1, 2 or 4 from the stored counter on;
// `path` may keep a ".*" wildcard, `pattern` is the unformatted pattern path.
ZPVTWITTER_EXPORT bool nextCaptureFile(QString &path, int type, QString &pattern, ulong &index);

ZPVTWITTER_EXPORT bool isRawVideo(const QString &path);

// Whether the MAGIX application of type 8 or 16 is installed.
bool isMagixInstalled(int type);

// The catalogue's ids in the order the gallery gets them; 0xFFFFFFFF past the end.
int catalogTypeCount();
ulong catalogTypeAt(int index);

#endif
