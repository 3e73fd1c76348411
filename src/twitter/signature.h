#ifndef SIGNATURE_H
#define SIGNATURE_H

#include <QByteArray>
#include <QMap>
#include <QString>

// Everything needed to sign one Twitter API request with OAuth 1.0a
// (HMAC-SHA1, RFC 5849), in the xAuth variant used for the password sign-in.
// Also parses the access-token reply and keeps the access token between runs
// (in the keyring, or the per-user settings store: see TokenStore).
class Signature
{
public:
    Signature();
    Signature(const QString &method, const QString &consumerKey, const QString &consumerSecret,
              const QString &url);
    virtual ~Signature();

    void clear();
    void initDefaults();
    void newTimestamp();
    void newNonce();
    void clearParams();
    void addParam(const QString &key, const QString &value);
    void addSignatureParam(const QString &key, const QString &value);
    void setupOAuthParams();

    bool createSignature(unsigned long flags);
    bool createBasicSignature(unsigned long flags);
    bool createLoginSignature(unsigned long flags);

    bool basicValidate();
    bool tokenValidate();

    bool consumeLoginResponse(const QString &text);
    void saveCredentials();
    void loadCredentials();

    // The plug-in's registration with the Twitter API.
    static QString defaultConsumerKey();
    static QString defaultConsumerSecret();

    QMap<QString, QString> signatureParams;
    QMap<QString, QString> bodyParams;
    QString oauth_token;
    QString oauth_token_secret;
    QString user_id;
    QString screen_name;
    QString postBody;
    QString http_method;
    QString urlString;
    QString oauth_consumer_key;
    QString oauth_consumer_secret;
    QString oauth_nonce;
    QString oauth_signature_method;
    QString oauth_timestamp;
    QString oauth_version;
    QString oauth_signature;
    QString x_auth_mode;
    QString x_auth_password;
    QString x_auth_username;
    QString signatureBaseString;
    QString authorizationHeader;
};

// Splits "name=value" and checks the name; used for the access-token reply.
bool splitField(const QString &field, const QString &expectedName, QString &value);

// HMAC-SHA1 (RFC 2104) of message under key: the 20-byte digest.
QByteArray hmacSha1(const QByteArray &key, const QByteArray &message);
// Base64 of hmacSha1 over the Latin-1 bytes of both texts.
QString hmacSha1Base64(const QString &message, const QString &key);

#endif
