#ifndef CONTENTTYPE_H
#define CONTENTTYPE_H

#include <QString>

// Classification of media files by suffix alone; the file is never opened.
// Results are content type ids: 1 photo, 2 video, -1 unknown.
int contentTypeOfSuffix(const QString &suffix);
int contentTypeOfFile(const QString &path);

bool isKnownType(int id);
bool isPhotoType(int id);
bool isVideoType(int id);
bool hasVideoBit(int id);

bool isPhotoFile(const QString &path);
bool isVideoFile(const QString &path);

#endif
