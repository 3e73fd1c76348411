#include "catalog/contenttypeaggregator.h"

#include "catalog/capturefolders.h"
#include "catalog/contenttype.h"
#include "catalog/contenttypeinfo.h"

ContentTypeAggregator::ContentTypeAggregator(QObject *parent)
    : QObject(parent)
{ }

int ContentTypeAggregator::typeCount() const
{
    return catalogTypeCount();
}

ulong ContentTypeAggregator::typeAt(int index) const
{
    return catalogTypeAt(index);
}

bool ContentTypeAggregator::getContentType(ulong type, ContentTypeInfo &out) const
{
    // Ids are 32-bit; anything wider is no catalogue type.
    if (type > 0xFFFFFFFFul)
        return false;
    ContentTypeInfo info;
    if (!describeContentType(int(type), info))
        return false;
    out = info;
    return true;
}

int ContentTypeAggregator::contentTypeOfFile(const QString &path) const
{
    return ::contentTypeOfFile(path);
}

bool ContentTypeAggregator::isKnownType(int id) const
{
    return ::isKnownType(id);
}

bool ContentTypeAggregator::isPhotoType(int id) const
{
    return ::isPhotoType(id);
}

bool ContentTypeAggregator::isVideoType(int id) const
{
    return ::isVideoType(id);
}

bool ContentTypeAggregator::hasVideoBit(int id) const
{
    return ::hasVideoBit(id);
}

bool ContentTypeAggregator::getPhotoFolder(QString &folder) const
{
    return captureFolder(folder, 1);
}

bool ContentTypeAggregator::getVideoFolder(QString &folder) const
{
    return captureFolder(folder, 2);
}

bool ContentTypeAggregator::getMotionFolder(QString &folder) const
{
    return captureFolder(folder, 4);
}

bool ContentTypeAggregator::getType32Folder(QString &folder) const
{
    return captureFolder(folder, 32);
}

static bool nextFile(QString &path, int type)
{
    QString pattern;
    ulong index = 0;
    return nextCaptureFile(path, type, pattern, index);
}

bool ContentTypeAggregator::getNextMotionFile(QString &path) const
{
    return nextFile(path, 4);
}

bool ContentTypeAggregator::getNextPictureFile(QString &path) const
{
    return nextFile(path, 1);
}

bool ContentTypeAggregator::getNextVideoFile(QString &path) const
{
    return nextFile(path, 2);
}

bool ContentTypeAggregator::getNextType32File(QString &path) const
{
    return nextFile(path, 32);
}

bool ContentTypeAggregator::getNextMotionPattern(QString &pattern, ulong &index) const
{
    QString path;
    return nextCaptureFile(path, 4, pattern, index);
}

void ContentTypeAggregator::onReady()
{
    for (int i = 0; i < typeCount(); ++i) {
        const ulong type = typeAt(i);
        ContentTypeInfo info;
        if (describeContentType(int(type), info))
            Q_EMIT addContentType(info.name, info.title, info.dirList, type, 0);
    }
}

#include "moc_contenttypeaggregator.cpp"
