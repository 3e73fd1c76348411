#include "twitter/signature.h"

#include "twitter/twittersettings.h"
#include "zpvlogging.h"

#include <QDateTime>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QSettings>
#include <QUrl>
#include <QVarLengthArray>

#include <algorithm>

namespace {

constexpr char nonceAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int nonceLength = 45;
constexpr char hexDigits[] = "0123456789ABCDEF";

inline bool isUnreserved(uchar c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
        || c == '.' || c == '_' || c == '~';
}

void appendEncodedBytes(QByteArray &out, const char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        const uchar c = uchar(data[i]);
        if (isUnreserved(c)) {
            out.append(char(c));
        } else {
            const char escaped[3] = { '%', hexDigits[c >> 4], hexDigits[c & 0xF] };
            out.append(escaped, 3);
        }
    }
}

// Same bytes as QUrl::toPercentEncoding(text); the ASCII path skips the
// UTF-8 copy, which is most of the signing time for short values.
void appendEncoded(QByteArray &out, QStringView text)
{
    const char16_t *begin = text.utf16();
    const char16_t *end = begin + text.size();
    if (std::any_of(begin, end, [](char16_t c) { return c >= 0x80; })) {
        out.append(QUrl::toPercentEncoding(text.toString()));
        return;
    }
    for (const char16_t *p = begin; p != end; ++p) {
        const uchar c = uchar(*p);
        if (isUnreserved(c)) {
            out.append(char(c));
        } else {
            const char escaped[3] = { '%', hexDigits[c >> 4], hexDigits[c & 0xF] };
            out.append(escaped, 3);
        }
    }
}

QByteArray encoded(QStringView text)
{
    QByteArray out;
    out.reserve(text.size() * 3);
    appendEncoded(out, text);
    return out;
}

// Adds encode(key)=encode(value), preceded by "&" unless text is empty.
void appendParam(QByteArray &text, QStringView key, QStringView value)
{
    if (!text.isEmpty())
        text.append('&');
    appendEncoded(text, key);
    text.append('=');
    appendEncoded(text, value);
}

// Pairs sorted by their encoded names, as servers rebuild them; for the
// unreserved names every request uses this is also the map's own order.
QByteArray normalizedParams(const QMap<QString, QString> &params)
{
    struct Pair
    {
        QByteArray key;
        const QString *value;
    };
    QVarLengthArray<Pair, 16> pairs;
    qsizetype size = 0;
    bool sorted = true;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        pairs.append({ encoded(it.key()), &it.value() });
        if (pairs.size() > 1 && !(pairs[pairs.size() - 2].key < pairs.back().key))
            sorted = false;
        size += pairs.back().key.size() + it.value().size() * 3 + 2;
    }
    if (!sorted) {
        std::stable_sort(
            pairs.begin(), pairs.end(), [](const Pair &a, const Pair &b) { return a.key < b.key; });
    }
    QByteArray text;
    text.reserve(size);
    for (const Pair &pair : pairs) {
        if (!text.isEmpty())
            text.append('&');
        text.append(pair.key);
        text.append('=');
        appendEncoded(text, *pair.value);
    }
    return text;
}

QByteArray baseString(const Signature &s, const QByteArray &paramText)
{
    QByteArray base;
    base.reserve(s.http_method.size() + s.urlString.size() * 3 + paramText.size() * 3 + 2);
    base.append(s.http_method.toLatin1());
    base.append('&');
    appendEncoded(base, s.urlString);
    base.append('&');
    appendEncodedBytes(base, paramText.constData(), paramText.size());
    return base;
}

// The older request forms list their parameters by hand; these lead both.
QByteArray leadingOAuthParams(const Signature &s)
{
    QByteArray params;
    params.reserve(512);
    appendParam(params, u"oauth_consumer_key", s.oauth_consumer_key);
    appendParam(params, u"oauth_nonce", s.oauth_nonce);
    appendParam(params, u"oauth_signature_method", u"HMAC-SHA1");
    appendParam(params, u"oauth_timestamp", s.oauth_timestamp);
    return params;
}

void appendHeaderPart(QByteArray &header, const char *name, QStringView value)
{
    if (header.size() > 6)
        header.append(", ", 2);
    header.append(name);
    header.append("=\"", 2);
    header.append(value.toUtf8());
    header.append('"');
}

// Signs base under the consumer and token secrets and fills the signature,
// the base string and the Authorization header.
void finishSignature(Signature &s, const QByteArray &base, bool withToken)
{
    QByteArray key = encoded(s.oauth_consumer_secret);
    key.append('&');
    appendEncoded(key, s.oauth_token_secret);

    const QByteArray digest
        = QMessageAuthenticationCode::hash(base, key, QCryptographicHash::Sha1).toBase64();
    QByteArray signature;
    signature.reserve(digest.size() + 12);
    appendEncodedBytes(signature, digest.constData(), digest.size());

    s.signatureBaseString = QString::fromLatin1(base);
    s.oauth_signature = QString::fromLatin1(signature);

    QByteArray header;
    header.reserve(320);
    header.append("OAuth ", 6);
    appendHeaderPart(header, "oauth_nonce", s.oauth_nonce);
    appendHeaderPart(header, "oauth_signature_method", s.oauth_signature_method);
    appendHeaderPart(header, "oauth_timestamp", s.oauth_timestamp);
    if (withToken)
        appendHeaderPart(header, "oauth_token", s.oauth_token);
    appendHeaderPart(header, "oauth_consumer_key", s.oauth_consumer_key);
    appendHeaderPart(header, "oauth_signature", s.oauth_signature);
    appendHeaderPart(header, "oauth_version", s.oauth_version);
    s.authorizationHeader = QString::fromUtf8(header);
}

bool checkPresent(const QString &value, const char *missingLine)
{
    if (!value.isEmpty())
        return true;
    qCCritical(lcTwitter, "%s", missingLine);
    return false;
}

// The token secret must never reach the log, even from a malformed reply.
QString printable(const QString &field, const QString &expectedName)
{
    if (expectedName != QLatin1String("oauth_token_secret"))
        return field;
    const qsizetype eq = field.indexOf(u'=');
    if (eq < 0)
        return field.isEmpty() ? field : QStringLiteral("***");
    return field.left(eq + 1) + QLatin1String("***");
}

template<typename F>
void withCredentialsStore(F &&use)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(TwitterSettings::organisation),
        QString::fromLatin1(TwitterSettings::application));
    settings.beginGroup(QString::fromLatin1(TwitterSettings::group));
    settings.beginGroup(QString::fromLatin1(TwitterSettings::oauthGroup));
    use(settings);
}

} // namespace

Signature::Signature()
{
    initDefaults();
}

Signature::Signature(const QString &method, const QString &consumerKey,
    const QString &consumerSecret, const QString &url)
{
    initDefaults();
    http_method = method;
    oauth_consumer_key = consumerKey;
    oauth_consumer_secret = consumerSecret;
    urlString = url;
}

Signature::~Signature() = default;

QString Signature::defaultConsumerKey()
{
    return QStringLiteral("Xq7LmN2pRt5VwY8zKc3Hd");
}

QString Signature::defaultConsumerSecret()
{
    return QStringLiteral("Pz4Kw9Lm2Nq7Rt1Vx6Yb3Hc8Jd5Fg0Sa2Ue7Ko4Wi9T");
}

void Signature::clear()
{
    signatureParams.clear();
    bodyParams.clear();
    for (QString *field : { &oauth_token, &oauth_token_secret, &user_id, &screen_name, &postBody,
             &http_method, &urlString, &oauth_consumer_key, &oauth_consumer_secret, &oauth_nonce,
             &oauth_signature_method, &oauth_timestamp, &oauth_version, &oauth_signature,
             &x_auth_mode, &x_auth_password, &x_auth_username, &signatureBaseString,
             &authorizationHeader })
        field->clear();
}

void Signature::initDefaults()
{
    http_method = QStringLiteral("POST");
    oauth_consumer_key = defaultConsumerKey();
    oauth_consumer_secret = defaultConsumerSecret();
    oauth_signature_method = QStringLiteral("HMAC-SHA1");
    oauth_version = QStringLiteral("1.0");
    x_auth_mode = QStringLiteral("client_auth");
    newTimestamp();
    newNonce();
    setupOAuthParams();
}

void Signature::newTimestamp()
{
    oauth_timestamp = QString::number(QDateTime::currentSecsSinceEpoch());
}

void Signature::newNonce()
{
    QRandomGenerator *generator = QRandomGenerator::system();
    QString nonce(nonceLength, Qt::Uninitialized);
    for (QChar &c : nonce)
        c = QLatin1Char(nonceAlphabet[generator->bounded(int(sizeof(nonceAlphabet) - 1))]);
    oauth_nonce = nonce;
}

void Signature::clearParams()
{
    signatureParams.clear();
    bodyParams.clear();
}

void Signature::addParam(const QString &key, const QString &value)
{
    bodyParams.insert(key, value);
    signatureParams.insert(key, value);
}

void Signature::addSignatureParam(const QString &key, const QString &value)
{
    signatureParams.insert(key, value);
}

void Signature::setupOAuthParams()
{
    signatureParams.insert(
        QStringLiteral("oauth_consumer_key"), QString::fromLatin1(encoded(oauth_consumer_key)));
    signatureParams.insert(
        QStringLiteral("oauth_nonce"), QString::fromLatin1(encoded(oauth_nonce)));
    signatureParams.insert(QStringLiteral("oauth_signature_method"), QStringLiteral("HMAC-SHA1"));
    signatureParams.insert(QStringLiteral("oauth_timestamp"), oauth_timestamp);
    signatureParams.insert(QStringLiteral("oauth_version"), QStringLiteral("1.0"));
    if (!oauth_token.isEmpty())
        signatureParams.insert(QStringLiteral("oauth_token"), oauth_token);
}

bool Signature::createSignature(unsigned long flags)
{
    Q_UNUSED(flags)
    if (!basicValidate()) {
        qCCritical(lcTwitter, "Signature::createSignature() - failed to basicValidate");
        return false;
    }
    const QByteArray base = baseString(*this, normalizedParams(signatureParams));
    postBody = QString::fromLatin1(normalizedParams(bodyParams));
    finishSignature(*this, base, !oauth_token.isEmpty());
    return true;
}

bool Signature::createBasicSignature(unsigned long flags)
{
    Q_UNUSED(flags)
    if (!tokenValidate()) {
        qCCritical(lcTwitter, "Signature::createBasicSignature() - user has no access token");
        return false;
    }
    QByteArray params = leadingOAuthParams(*this);
    appendParam(params, u"oauth_token", oauth_token);
    appendParam(params, u"oauth_version", u"1.0");
    appendParam(params, u"status", u"Test tweet 1");
    finishSignature(*this, baseString(*this, params), true);
    return true;
}

bool Signature::createLoginSignature(unsigned long flags)
{
    Q_UNUSED(flags)
    if (!basicValidate()) {
        qCCritical(lcTwitter, "Signature::createLoginSignature() - failed to basicValidate");
        return false;
    }
    QByteArray params = leadingOAuthParams(*this);
    appendParam(params, u"oauth_version", u"1.0");
    appendParam(params, u"x_auth_mode", u"client_auth");
    appendParam(params, u"x_auth_password", x_auth_password);
    appendParam(params, u"x_auth_username", x_auth_username);
    finishSignature(*this, baseString(*this, params), false);
    return true;
}

bool Signature::basicValidate()
{
    // Every missing field is reported, not just the first.
    bool ok = checkPresent(http_method, "Missing http_method");
    ok = checkPresent(urlString, "Missing urlString") && ok;
    ok = checkPresent(oauth_consumer_key, "Missing oauth_consumer_key") && ok;
    ok = checkPresent(oauth_consumer_secret, "Missing oauth_consumer_secret") && ok;
    ok = checkPresent(oauth_nonce, "Missing oauth_nonce") && ok;
    ok = checkPresent(oauth_signature_method, "Missing oauth_signature_method") && ok;
    ok = checkPresent(oauth_timestamp, "Missing oauth_timestamp") && ok;
    ok = checkPresent(oauth_version, "Missing oauth_version") && ok;
    ok = checkPresent(x_auth_mode, "Missing x_auth_mode") && ok;
    return ok;
}

bool Signature::tokenValidate()
{
    bool ok = checkPresent(oauth_token, "Missing oauth_token");
    ok = checkPresent(oauth_token_secret, "Missing oauth_token_secret") && ok;
    ok = checkPresent(user_id, "Missing user_id") && ok;
    ok = checkPresent(screen_name, "Missing screen_name") && ok;
    return ok;
}

bool Signature::consumeLoginResponse(const QString &text)
{
    if (text.isEmpty()) {
        qCCritical(lcTwitter, "Signature::consumeLoginResponse() - no return text");
        return false;
    }
    const QStringList parts = text.split(u'&');
    if (parts.size() < 4) {
        qCCritical(lcTwitter,
            "Signature::consumeLoginResponse() - return text has wrong number of fields");
        return false;
    }
    return splitField(parts.at(0), QStringLiteral("oauth_token"), oauth_token)
        && splitField(parts.at(1), QStringLiteral("oauth_token_secret"), oauth_token_secret)
        && splitField(parts.at(2), QStringLiteral("user_id"), user_id)
        && splitField(parts.at(3), QStringLiteral("screen_name"), screen_name);
}

void Signature::saveCredentials()
{
    withCredentialsStore([this](QSettings &settings) {
        settings.setValue(QStringLiteral("oauth_token"), oauth_token);
        settings.setValue(QStringLiteral("oauth_token_secret"), oauth_token_secret);
        settings.setValue(QStringLiteral("user_id"), user_id);
        settings.setValue(QStringLiteral("screen_name"), screen_name);
    });
}

void Signature::loadCredentials()
{
    withCredentialsStore([this](QSettings &settings) {
        oauth_token = settings.value(QStringLiteral("oauth_token")).toString();
        oauth_token_secret = settings.value(QStringLiteral("oauth_token_secret")).toString();
        user_id = settings.value(QStringLiteral("user_id")).toString();
        screen_name = settings.value(QStringLiteral("screen_name")).toString();
    });
}

bool splitField(const QString &field, const QString &expectedName, QString &value)
{
    value.clear();
    const QStringList parts = field.split(u'=');
    if (parts.size() != 2) {
        qCCritical(lcTwitter, "Signature::splitField() - field does not have two values: %s",
            qUtf8Printable(printable(field, expectedName)));
        return false;
    }
    if (parts.at(0).isEmpty()) {
        qCCritical(lcTwitter, "Signature::splitField() - field does not have a name: %s",
            qUtf8Printable(printable(field, expectedName)));
        return false;
    }
    if (parts.at(0) != expectedName) {
        qCCritical(lcTwitter,
            "Signature::splitField() - field name mis-match, expected '%s' - result: %s",
            qUtf8Printable(expectedName), qUtf8Printable(parts.at(0)));
        return false;
    }
    if (parts.at(1).isEmpty()) {
        qCCritical(lcTwitter, "Signature::splitField() - field does not have a value: %s",
            qUtf8Printable(printable(field, expectedName)));
        return false;
    }
    value = parts.at(1);
    return true;
}

QByteArray hmacSha1(const QByteArray &key, const QByteArray &message)
{
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha1);
}

QString hmacSha1Base64(const QString &message, const QString &key)
{
    return QString::fromLatin1(hmacSha1(key.toLatin1(), message.toLatin1()).toBase64());
}
