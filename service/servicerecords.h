#ifndef SERVICERECORDS_H
#define SERVICERECORDS_H

#include <QDateTime>
#include <QString>

// Rows of the service's store, as the routes hand them around.

struct StoredUser
{
    qint64 id = 0;
    QString screenName;
    QString name;
};

struct StoredToken
{
    QString token;
    QString secret;
    qint64 userId = 0;
};

struct StoredStatus
{
    qint64 id = 0;
    QString text;
    QDateTime createdAt;
    StoredUser user;
};

struct StoredUpload
{
    QString id;
    QString fileName;
    QString mimeType;
    qint64 size = 0;
};

#endif
