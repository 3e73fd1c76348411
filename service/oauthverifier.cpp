#include "oauthverifier.h"

#include "authorizationheader.h"
#include "servicestore.h"

#include <oauth.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

struct FreeDeleter
{
    void operator()(char *p) const { std::free(p); }
};
using CString = std::unique_ptr<char, FreeDeleter>;

// RFC 3986 unreserved kept, the rest %XX. NUL cannot pass through C strings,
// so the text goes through in pieces between them.
std::optional<QByteArray> escape(const QByteArray &text)
{
    QByteArray out;
    const QList<QByteArray> pieces = text.split('\0');
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const CString escaped(oauth_url_escape(pieces.at(i).constData()));
        if (!escaped)
            return std::nullopt;
        out += (i > 0 ? "%00" : "") + QByteArray(escaped.get());
    }
    return out;
}

bool isDecimal(const QByteArray &text)
{
    return !text.isEmpty() && text.size() <= 12
        && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

OAuthVerifier::OAuthVerifier(ServiceStore *store, const QHash<QString, QString> &consumers)
    : m_store(store)
    , m_consumers(consumers)
{ }

std::optional<QByteArray> OAuthVerifier::sign(const QByteArray &method, const QString &url,
    const FormParams &params, const QByteArray &consumerSecret, const QByteArray &tokenSecret)
{
    QList<QPair<QByteArray, QByteArray>> encoded;
    for (const auto &param : params) {
        const auto name = escape(param.first);
        const auto value = escape(param.second);
        if (!name || !value)
            return std::nullopt;
        encoded.append({ *name, *value });
    }
    std::sort(encoded.begin(), encoded.end());
    QByteArray normalized;
    for (const auto &param : encoded) {
        if (!normalized.isEmpty())
            normalized.append('&');
        normalized.append(param.first + '=' + param.second);
    }
    const auto encodedUrl = escape(url.toUtf8());
    const auto encodedParams = escape(normalized);
    const auto encodedConsumer = escape(consumerSecret);
    const auto encodedToken = escape(tokenSecret);
    if (!encodedUrl || !encodedParams || !encodedConsumer || !encodedToken)
        return std::nullopt;
    const QByteArray base = method.toUpper() + '&' + *encodedUrl + '&' + *encodedParams;
    const QByteArray key = *encodedConsumer + '&' + *encodedToken;
    const CString signature(oauth_sign_hmac_sha1(base.constData(), key.constData()));
    if (!signature)
        return std::nullopt;
    return QByteArray(signature.get());
}

OAuthVerifier::Outcome OAuthVerifier::verify(
    const Request &request, Token tokenRule, qint64 now, const TokenLookup &requestTokens) const
{
    Outcome outcome;
    if (request.authorization.isEmpty()) {
        outcome.error = QStringLiteral("Authorization required");
        return outcome;
    }
    const auto header = parseAuthorizationHeader(request.authorization);
    if (!header) {
        outcome.error = QStringLiteral("Invalid OAuth Authorization header");
        return outcome;
    }
    FormParams signedParams = request.params;
    QHash<QByteArray, QByteArray> oauth;
    for (const auto &param : *header) {
        if (param.first == "realm")
            continue;
        if (!param.first.startsWith("oauth_") || oauth.contains(param.first)) {
            outcome.error = QStringLiteral("Invalid OAuth Authorization header");
            return outcome;
        }
        oauth.insert(param.first, param.second);
        if (param.first != "oauth_signature")
            signedParams.append(param);
    }
    for (const char *required : { "oauth_consumer_key", "oauth_nonce", "oauth_signature_method",
             "oauth_timestamp", "oauth_signature" }) {
        if (oauth.value(required).isEmpty()) {
            outcome.error = QStringLiteral("Missing %1").arg(QLatin1String(required));
            return outcome;
        }
    }
    if (oauth.value("oauth_signature_method") != "HMAC-SHA1"
        || (oauth.contains("oauth_version") && oauth.value("oauth_version") != "1.0")) {
        outcome.error = QStringLiteral("Unsupported signature method or version");
        return outcome;
    }
    if (oauth.value("oauth_nonce").size() > MaxNonceLength) {
        outcome.error = QStringLiteral("Nonce is too long");
        return outcome;
    }
    const QString consumerKey = QString::fromUtf8(oauth.value("oauth_consumer_key"));
    if (!m_consumers.contains(consumerKey)) {
        outcome.error = QStringLiteral("Invalid consumer key");
        return outcome;
    }
    const QByteArray timestamp = oauth.value("oauth_timestamp");
    if (!isDecimal(timestamp) || std::llabs(timestamp.toLongLong() - now) > TimestampWindow) {
        outcome.error = QStringLiteral("Timestamp out of bounds");
        return outcome;
    }
    QByteArray tokenSecret;
    if (oauth.contains("oauth_token")) {
        const QString token = QString::fromUtf8(oauth.value("oauth_token"));
        if (tokenRule != Token::Request)
            outcome.token = m_store->token(token);
        else if (requestTokens)
            outcome.token = requestTokens(token);
        if (!outcome.token) {
            outcome.error = QStringLiteral("Invalid or expired token");
            return outcome;
        }
        tokenSecret = outcome.token->secret.toUtf8();
    } else if (tokenRule != Token::Optional) {
        outcome.error = QStringLiteral("Missing oauth_token");
        return outcome;
    }
    const QByteArray consumerSecret = m_consumers.value(consumerKey).toUtf8();
    const QByteArray given = oauth.value("oauth_signature");
    const bool match
        = std::any_of(request.urls.begin(), request.urls.end(), [&](const QString &url) {
              const auto expected
                  = sign(request.method, url, signedParams, consumerSecret, tokenSecret);
              return expected
                  && oauth_time_independent_equals_n(expected->constData(), given.constData(),
                      size_t(expected->size()), size_t(given.size()));
          });
    if (!match) {
        outcome.error = QStringLiteral("Invalid signature");
        return outcome;
    }
    if (!m_store->useNonce(consumerKey, QString::fromUtf8(oauth.value("oauth_nonce")), now,
            now - 2 * TimestampWindow)) {
        outcome.error = QStringLiteral("Nonce has already been used");
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}
