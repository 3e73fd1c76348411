#ifndef OAUTHVERIFIER_H
#define OAUTHVERIFIER_H

#include "formcodec.h"
#include "servicerecords.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <optional>

class ServiceStore;

// Checks OAuth 1.0a HMAC-SHA1 signed requests. The signature itself is
// computed by liboauth, so the service never shares a signer with its clients.
class OAuthVerifier
{
public:
    // Request: the token must be a request token of the three-legged sign-in,
    // found through the lookup given to verify(), never an access token.
    enum class Token { Optional, Required, Request };
    using TokenLookup = std::function<std::optional<StoredToken>(const QString &token)>;

    struct Outcome
    {
        bool ok = false;
        QString error;
        std::optional<StoredToken> token;
    };

    struct Request
    {
        QByteArray method;
        // The request URL as clients may have addressed it: scheme, host,
        // port and path, no query.
        QStringList urls;
        QByteArray authorization;
        // Decoded query and form-body parameters.
        FormParams params;
    };

    static constexpr qint64 TimestampWindow = 300;
    // Nonces are stored until they expire: a long one would be stored at length.
    static constexpr qsizetype MaxNonceLength = 64;

    OAuthVerifier(ServiceStore *store, const QHash<QString, QString> &consumers);

    Outcome verify(const Request &request, Token tokenRule, qint64 now,
        const TokenLookup &requestTokens = {}) const;

    // Base64 HMAC-SHA1 over the RFC 5849 base string of decoded parameters.
    static std::optional<QByteArray> sign(const QByteArray &method, const QString &url,
        const FormParams &params, const QByteArray &consumerSecret, const QByteArray &tokenSecret);

private:
    ServiceStore *m_store;
    QHash<QString, QString> m_consumers;
};

#endif
