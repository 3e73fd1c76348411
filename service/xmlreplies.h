#ifndef XMLREPLIES_H
#define XMLREPLIES_H

#include "servicerecords.h"

#include <QByteArray>
#include <QString>

// The XML bodies of the version-1 resources.

QByteArray errorDocument(const QString &requestPath, const QString &error);
QByteArray userDocument(const StoredUser &user, const QString &baseUrl);
QByteArray statusDocument(const StoredStatus &status, const QString &baseUrl);

// Dates as the public service wrote them ("Wed Aug 27 13:08:45 +0000 2008").
QString twitterDate(const QDateTime &when);

#endif
