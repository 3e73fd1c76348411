#include "catalog/contenttype.h"

#include <QFileInfo>

int contentTypeOfSuffix(const QString &suffix)
{
    const QString lower = suffix.toLower();
    if (lower == u"png" || lower == u"jpg" || lower == u"jpeg" || lower == u"gif")
        return 1;
    if (lower == u"wmv" || lower == u"asf" || lower == u"avi" || lower == u"mov" || lower == u"mp4")
        return 2;
    return -1;
}

int contentTypeOfFile(const QString &path)
{
    // The suffix is what follows the last dot of the file name only, so a
    // dot in a folder name never counts.
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return -1;
    return contentTypeOfSuffix(name.mid(dot + 1));
}

bool isKnownType(int id)
{
    return id == 1 || id == 2 || id == 4 || id == 8 || id == 16 || id == 7;
}

bool isPhotoType(int id)
{
    return id == 1 || id == 8 || id == 7;
}

bool isVideoType(int id)
{
    return id == 2 || id == 4 || id == 16 || id == 7;
}

bool hasVideoBit(int id)
{
    return (id & 2) != 0;
}

bool isPhotoFile(const QString &path)
{
    return isPhotoType(contentTypeOfFile(path));
}

bool isVideoFile(const QString &path)
{
    return isVideoType(contentTypeOfFile(path));
}
