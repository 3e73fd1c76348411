#ifndef SERVICEREPLY_H
#define SERVICEREPLY_H

#include <QByteArray>
#include <QFuture>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

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
    // Set when the answer waits for work done away from the thread that serves
    // every connection: once pending is finished, whenDone() on that thread
    // gives the answer.
    QFuture<void> pending;
    std::function<ServiceReply()> whenDone;

    static ServiceReply error(int status, const QString &requestPath, const QString &text);
    static ServiceReply xml(const QByteArray &document);
    static ServiceReply plain(const QByteArray &text);
    static ServiceReply html(const QString &page);
    static ServiceReply redirect(const QByteArray &location);
    static ServiceReply file(const QString &path, const QByteArray &contentType);
    static ServiceReply later(const QFuture<void> &pending, std::function<ServiceReply()> whenDone);
};

#endif
