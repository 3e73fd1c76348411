#ifndef V2ROUTES_H
#define V2ROUTES_H

#include "incomingrequest.h"
#include "ratelimiter.h"
#include "servicecontext.h"
#include "servicereply.h"

#include <optional>

// The JSON resources under /2/: the signed-in user, posting and fetching a
// tweet, with the public service's error objects and rate-limit headers.
class V2Routes
{
public:
    V2Routes(const ServiceContext &context, int rateLimit);

    // nullopt when the path is not under /2/.
    std::optional<ServiceReply> handle(const IncomingRequest &request);

private:
    ServiceReply me(const IncomingRequest &request, qint64 userId) const;
    ServiceReply createTweet(const IncomingRequest &request, qint64 userId) const;
    ServiceReply showTweet(const IncomingRequest &request, const QString &id) const;

    const ServiceContext &m_context;
    RateLimiter m_limiter;
};

#endif
