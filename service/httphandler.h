#ifndef HTTPHANDLER_H
#define HTTPHANDLER_H

#include "incomingrequest.h"
#include "servicereply.h"

#include <optional>

// How the body of one request is taken in.
struct BodyPlan
{
    // Bytes; a body declared or received past it is refused.
    qint64 limit = 0;
    // Empty: the body is kept in memory. Otherwise it goes, as it arrives, to a
    // new private file in this folder (IncomingRequest::bodyFile), synced to
    // disk once complete and removed after the request unless moved away.
    QString spoolDir;
};

// What the HTTP layer asks of the service, in the order a request arrives.
class HttpHandler
{
public:
    virtual ~HttpHandler() = default;

    // From the request line and headers: how much body may come and where it goes.
    virtual BodyPlan bodyPlan(const IncomingRequest &request) const = 0;
    // Before the body is read: a reply to answer at once (the body is then
    // never read), or nullopt to read it.
    virtual std::optional<ServiceReply> head(IncomingRequest &request) = 0;
    // The whole request is in.
    virtual ServiceReply complete(IncomingRequest &request) = 0;
};

#endif
