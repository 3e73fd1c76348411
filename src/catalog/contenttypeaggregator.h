#ifndef CONTENTTYPEAGGREGATOR_H
#define CONTENTTYPEAGGREGATOR_H

#include "zpvtwitter_export.h"

#include <QDir>
#include <QList>
#include <QObject>
#include <QString>

struct ContentTypeInfo;

// Tells the gallery which content types exist, under which labels, and in
// which folders (with which file-name filters) their files lie. Keeps no
// state: every call reads the settings and the file system anew.
class ZPVTWITTER_EXPORT ContentTypeAggregator : public QObject
{
    Q_OBJECT

public:
    explicit ContentTypeAggregator(QObject *parent = nullptr);

    int typeCount() const;
    ulong typeAt(int index) const;
    // On success also empties out.hostList; on failure out is untouched.
    bool getContentType(ulong type, ContentTypeInfo &out) const;

    int contentTypeOfFile(const QString &path) const;
    bool isKnownType(int id) const;
    bool isPhotoType(int id) const;
    bool isVideoType(int id) const;
    bool hasVideoBit(int id) const;

    bool getPhotoFolder(QString &folder) const;
    bool getVideoFolder(QString &folder) const;
    bool getMotionFolder(QString &folder) const;
    // Type 32 has no folder of its own: folder stays as it is.
    bool getType32Folder(QString &folder) const;

    bool getNextMotionFile(QString &path) const;
    bool getNextPictureFile(QString &path) const;
    bool getNextVideoFile(QString &path) const;
    // Type 32 has no capture pattern: always false.
    bool getNextType32File(QString &path) const;
    bool getNextMotionPattern(QString &pattern, ulong &index) const;

public Q_SLOTS:
    // Emits addContentType for every available type, in catalogue order.
    void onReady();

Q_SIGNALS:
    void addContentType(QString name, QString title, QList<QDir> dirList, ulong type, ulong flags);
};

#endif
