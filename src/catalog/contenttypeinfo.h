#ifndef CONTENTTYPEINFO_H
#define CONTENTTYPEINFO_H

#include "zpvtwitter_export.h"

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>

// One content type as the gallery shows it: labels and the folders (with
// their file-name filters) where its files lie.
struct ZPVTWITTER_EXPORT ContentTypeInfo
{
    ulong type = 0;
    QString title;
    QString name;
    QString detail;
    QList<QDir> dirList;
    // The host keeps a list of its own in the record; describing a type
    // empties it.
    QStringList hostList;
};

#endif
