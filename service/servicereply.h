#ifndef SERVICEREPLY_H
#define SERVICEREPLY_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// What a route answers; the server writes it out and logs its status.
class ServiceReply
{
public:
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    // When set, the body is streamed from this file instead.
    QString filePath;

    static ServiceReply error(int status, const QString &requestPath, const QString &text);
    static ServiceReply xml(const QByteArray &document);
    static ServiceReply plain(const QByteArray &text);
    static ServiceReply html(const QString &page);
    static ServiceReply redirect(const QByteArray &location);
    static ServiceReply file(const QString &path, const QByteArray &contentType);
};

#endif
