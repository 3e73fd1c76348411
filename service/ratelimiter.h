#ifndef RATELIMITER_H
#define RATELIMITER_H

#include <QHash>
#include <QPair>
#include <QString>

// Requests per user and resource in fixed 15-minute windows, the way the
// public service counts its per-user limits.
class RateLimiter
{
public:
    static constexpr qint64 Window = 15 * 60;

    struct State
    {
        bool allowed = false;
        int limit = 0;
        int remaining = 0;
        qint64 reset = 0; // seconds since the epoch when the window ends
    };

    explicit RateLimiter(int limit);

    // Counts one request when it is allowed.
    State take(qint64 userId, const QString &resource, qint64 now);

private:
    struct Count
    {
        qint64 reset = 0;
        int used = 0;
    };

    int m_limit;
    QHash<QPair<qint64, QString>, Count> m_counts;
};

#endif
