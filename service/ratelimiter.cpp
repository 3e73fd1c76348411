#include "ratelimiter.h"

RateLimiter::RateLimiter(int limit)
    : m_limit(limit)
{ }

RateLimiter::State RateLimiter::take(qint64 userId, const QString &resource, qint64 now)
{
    Count &window = m_counts[qMakePair(userId, resource)];
    if (now >= window.reset)
        window = { now + RateLimiter::Window, 0 };
    const bool allowed = window.used < m_limit;
    if (allowed)
        ++window.used;
    return { allowed, m_limit, m_limit - window.used, window.reset };
}
