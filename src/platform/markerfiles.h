#ifndef MARKERFILES_H
#define MARKERFILES_H

#include "zpvtwitter_export.h"

#include <QString>

// Applets hand each other texts through files in the user's own temporary
// folder, announced by a flag in the settings store. A producer writes the
// file first and raises the flag after it; a consumer tests (and resets) the
// flag, then reads (and removes) the file. Files hold UTF-8 without a BOM
// and are replaced whole on every write.

ZPVTWITTER_EXPORT bool clearMarker(const QString &fileName, const QString &key);
ZPVTWITTER_EXPORT bool isMarkerSet(const QString &key, bool reset);
ZPVTWITTER_EXPORT bool readMarkerFile(const QString &fileName, QString &text, bool remove);
ZPVTWITTER_EXPORT bool writeMarkerFile(
    const QString &fileName, const QString &key, const QString &text, bool setFlag);

// An empty file reads as a failure.
ZPVTWITTER_EXPORT bool readUtf8File(const QString &path, QString &text);
// Replaces the file atomically; false when the write or the replacement fails.
ZPVTWITTER_EXPORT bool writeUtf8File(const QString &path, const QString &text);

// Empty when the user has no private temporary folder.
ZPVTWITTER_EXPORT QString tempFilePath();
ZPVTWITTER_EXPORT bool readTempFile(QString &text);
ZPVTWITTER_EXPORT bool writeTempFile(const QString &text);

ZPVTWITTER_EXPORT bool clearPreSelectContent();
ZPVTWITTER_EXPORT bool isPreSelectContentAvailable(bool reset);
ZPVTWITTER_EXPORT bool readPreSelectContent(QString &text, bool remove);
ZPVTWITTER_EXPORT bool writePreSelectContent(const QString &text, bool setFlag);

ZPVTWITTER_EXPORT bool clearCaptureStatus();
ZPVTWITTER_EXPORT bool isCaptureStatusAvailable(bool reset);
ZPVTWITTER_EXPORT bool readCaptureStatus(QString &text, bool remove);
ZPVTWITTER_EXPORT bool writeCaptureStatus(const QString &text, bool setFlag);

#endif
