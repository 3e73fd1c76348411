#ifndef REQUESTTOKENS_H
#define REQUESTTOKENS_H

#include <QHash>
#include <QString>

#include <optional>

// Request tokens of the three-legged sign-in, from request_token until they
// are exchanged for an access token. Short-lived, so kept in memory only: a
// restart simply makes the user sign in again.
class RequestTokens
{
public:
    // Seconds a request token stays usable.
    static constexpr qint64 Lifetime = 600;
    // Pending tokens at most; the oldest goes first.
    static constexpr qsizetype MaxPending = 1024;

    struct Entry
    {
        QString token;
        QString secret;
        QString consumerKey;
        qint64 expires = 0;
        qint64 userId = 0; // 0 until a user approved it
        QString verifier; // the PIN shown to that user
    };

    Entry issue(const QString &consumerKey, qint64 now);
    std::optional<Entry> find(const QString &token, qint64 now);
    // The PIN for the user's approval. Approving again as the same user shows
    // the same PIN; nullopt when unknown, expired or approved by another user.
    std::optional<QString> approve(const QString &token, qint64 userId, qint64 now);
    void remove(const QString &token);
    // Spends the token whatever the outcome, so a PIN cannot be guessed at:
    // the approving user when the verifier is its PIN, nullopt otherwise.
    std::optional<qint64> redeem(const QString &token, const QString &verifier, qint64 now);

private:
    void forgetExpired(qint64 now);

    QHash<QString, Entry> m_entries;
};

#endif
