#include "servicereply.h"

#include "xmlreplies.h"

namespace {

ServiceReply make(int status, const char *contentType, const QByteArray &body)
{
    ServiceReply reply;
    reply.status = status;
    reply.contentType = contentType;
    reply.body = body;
    return reply;
}

} // namespace

ServiceReply ServiceReply::error(int status, const QString &requestPath, const QString &text)
{
    return make(status, "application/xml; charset=utf-8", errorDocument(requestPath, text));
}

ServiceReply ServiceReply::xml(const QByteArray &document)
{
    return make(200, "application/xml; charset=utf-8", document);
}

ServiceReply ServiceReply::plain(const QByteArray &text)
{
    return make(200, "text/plain; charset=utf-8", text);
}

ServiceReply ServiceReply::html(const QString &page)
{
    return make(200, "text/html; charset=utf-8", page.toUtf8());
}

ServiceReply ServiceReply::redirect(const QByteArray &location)
{
    ServiceReply reply = make(301, "text/plain; charset=utf-8", location);
    reply.headers.append({ "Location", location });
    return reply;
}

ServiceReply ServiceReply::file(const QString &path, const QByteArray &contentType)
{
    ServiceReply reply = make(200, contentType.constData(), QByteArray());
    reply.filePath = path;
    return reply;
}

ServiceReply ServiceReply::later(
    const QFuture<void> &pending, std::function<ServiceReply()> whenDone)
{
    ServiceReply reply;
    reply.pending = pending;
    reply.whenDone = std::move(whenDone);
    return reply;
}
