#include "requesttokens.h"

#include "randomtext.h"

#include <algorithm>

void RequestTokens::forgetExpired(qint64 now)
{
    m_entries.removeIf([now](const auto &entry) { return entry.value().expires <= now; });
}

RequestTokens::Entry RequestTokens::issue(const QString &consumerKey, qint64 now)
{
    forgetExpired(now);
    if (m_entries.size() >= MaxPending) {
        const auto oldest = std::min_element(m_entries.cbegin(), m_entries.cend(),
            [](const Entry &a, const Entry &b) { return a.expires < b.expires; });
        m_entries.erase(oldest);
    }
    Entry entry;
    do
        entry.token = randomText(32, AlphanumericAlphabet);
    while (m_entries.contains(entry.token));
    entry.secret = randomText(40, AlphanumericAlphabet);
    entry.consumerKey = consumerKey;
    entry.expires = now + Lifetime;
    m_entries.insert(entry.token, entry);
    return entry;
}

std::optional<RequestTokens::Entry> RequestTokens::find(const QString &token, qint64 now)
{
    forgetExpired(now);
    const auto it = m_entries.constFind(token);
    if (it == m_entries.cend())
        return std::nullopt;
    return *it;
}

std::optional<QString> RequestTokens::approve(const QString &token, qint64 userId, qint64 now)
{
    forgetExpired(now);
    const auto it = m_entries.find(token);
    if (it == m_entries.end() || (it->userId != 0 && it->userId != userId))
        return std::nullopt;
    if (it->userId == 0) {
        it->userId = userId;
        it->verifier = randomText(7, DigitAlphabet);
    }
    return it->verifier;
}

void RequestTokens::remove(const QString &token)
{
    m_entries.remove(token);
}

std::optional<qint64> RequestTokens::redeem(
    const QString &token, const QString &verifier, qint64 now)
{
    const auto entry = find(token, now);
    m_entries.remove(token);
    if (!entry || entry->userId == 0 || verifier.isEmpty() || entry->verifier != verifier)
        return std::nullopt;
    return entry->userId;
}
