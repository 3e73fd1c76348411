#include "twitter/signature.h"

#include "twitter/tokenstore.h"
#include "zpvlogging.h"

#include <QDateTime>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QUrl>
#include <QVarLengthArray>

#include <algorithm>
#include <array>

namespace {

constexpr char nonceAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int nonceLength = 45;
constexpr char hexDigits[] = "0123456789ABCDEF";

constexpr std::array<bool, 256> makeUnreservedTable()
{
    std::array<bool, 256> table {};
    for (int c = 0; c < 256; ++c) {
        table[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '-' || c == '.' || c == '_' || c == '~';
    }
    return table;
}
constexpr std::array<bool, 256> unreservedTable = makeUnreservedTable();

inline bool isUnreserved(uchar c)
{
    return unreservedTable[c];
}

// Writers below fill a buffer sized in advance for the worst case, then the
// caller truncates it: signing is mostly string building, and per-character
// appends with their capacity checks would cost more than the HMAC itself.
// Worst case per UTF-16 unit: 3 UTF-8 bytes, each "%25XX" when encoded twice.
constexpr qsizetype worstEncodedSize = 15;

// Twice: the byte as it stands inside the base string, where the
// parameter text is encoded a second time as a whole.
template<bool Twice>
inline char *writeEncodedByte(char *dst, uchar c)
{
    if (isUnreserved(c)) {
        *dst++ = char(c);
        return dst;
    }
    *dst++ = '%';
    if (Twice) {
        *dst++ = '2';
        *dst++ = '5';
    }
    *dst++ = hexDigits[c >> 4];
    *dst++ = hexDigits[c & 0xF];
    return dst;
}

char *writeEncodedBytes(char *dst, const char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i)
        dst = writeEncodedByte<false>(dst, uchar(data[i]));
    return dst;
}

inline bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// Same bytes as QUrl::toPercentEncoding(text) (encoded again when Twice);
// only the ASCII path is our own.
template<bool Twice = false>
char *writeEncoded(char *dst, QStringView text)
{
    if (!isAscii(text)) {
        const QByteArray once = QUrl::toPercentEncoding(text.toString());
        if (Twice)
            return writeEncodedBytes(dst, once.constData(), once.size());
        return std::copy(once.cbegin(), once.cend(), dst);
    }
    for (QChar c : text)
        dst = writeEncodedByte<Twice>(dst, uchar(c.unicode()));
    return dst;
}

// The text as UTF-8, unencoded.
char *writeText(char *dst, QStringView text)
{
    if (!isAscii(text)) {
        const QByteArray utf8 = text.toUtf8();
        return std::copy(utf8.cbegin(), utf8.cend(), dst);
    }
    for (QChar c : text)
        *dst++ = char(c.unicode());
    return dst;
}

char *writeLiteral(char *dst, QLatin1String text)
{
    return std::copy(text.begin(), text.end(), dst);
}

// Grows out by room bytes and hands back where to write; finish() trims.
template<typename Bytes>
class Appender
{
public:
    Appender(Bytes &out, qsizetype room)
        : m_out(out)
        , m_start(out.size())
    {
        out.resize(m_start + room);
        pos = out.data() + m_start;
    }
    void finish() { m_out.resize(pos - m_out.data()); }

    char *pos;

private:
    Bytes &m_out;
    qsizetype m_start;
};

// Scratch space on the stack for the strings of one signing; the heap is
// used only for unusually long requests.
template<qsizetype Size>
using Buffer = QVarLengthArray<char, Size>;
using BaseBuffer = Buffer<8192>;

QByteArray encoded(QStringView text)
{
    QByteArray out;
    Appender a(out, text.size() * worstEncodedSize);
    a.pos = writeEncoded(a.pos, text);
    a.finish();
    return out;
}

// Adds encode(key)=encode(value), preceded by "&" unless text is empty.
void appendParam(QByteArray &text, QStringView key, QStringView value)
{
    const bool first = text.isEmpty();
    Appender a(text, (key.size() + value.size()) * worstEncodedSize + 2);
    if (!first)
        *a.pos++ = '&';
    a.pos = writeEncoded(a.pos, key);
    *a.pos++ = '=';
    a.pos = writeEncoded(a.pos, value);
    a.finish();
}

bool isPlainName(QStringView key)
{
    return std::all_of(key.begin(), key.end(),
        [](QChar c) { return c.unicode() < 0x80 && isUnreserved(uchar(c.unicode())); });
}

qsizetype paramsRoom(const QMap<QString, QString> &params)
{
    qsizetype room = 0;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        room += (it.key().size() + it.value().size()) * worstEncodedSize + 6;
    return room;
}

inline char *writeKey(char *dst, bool twice, QByteArrayView encodedKey)
{
    return twice ? writeEncodedBytes(dst, encodedKey.data(), encodedKey.size())
                 : std::copy(encodedKey.begin(), encodedKey.end(), dst);
}

// A plain name reads the same encoded once or twice.
inline char *writeKey(char *dst, bool, QStringView plainKey)
{
    for (QChar c : plainKey)
        *dst++ = char(c.unicode());
    return dst;
}

template<bool Twice, typename Key>
char *writePair(char *dst, bool first, Key key, QStringView value)
{
    if (!first)
        dst = writeLiteral(dst, Twice ? QLatin1String("%26") : QLatin1String("&"));
    dst = writeKey(dst, Twice, key);
    dst = writeLiteral(dst, Twice ? QLatin1String("%3D") : QLatin1String("="));
    return writeEncoded<Twice>(dst, value);
}

// The normalised parameter text: pairs sorted by their encoded names, as
// servers rebuild them. For names of unreserved characters (all that
// requests use) that is the map's own order, and the names need no copy.
template<bool Twice>
char *writeParams(char *dst, const QMap<QString, QString> &params)
{
    const bool plainNames = std::all_of(params.keyBegin(), params.keyEnd(), isPlainName);
    if (plainNames) {
        for (auto it = params.cbegin(); it != params.cend(); ++it) {
            dst = writePair<Twice>(dst, it == params.cbegin(), QStringView(it.key()), it.value());
        }
        return dst;
    }
    QVarLengthArray<std::pair<QByteArray, const QString *>, 16> pairs;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        pairs.append({ encoded(it.key()), &it.value() });
    std::sort(
        pairs.begin(), pairs.end(), [](const auto &x, const auto &y) { return x.first < y.first; });
    for (const auto &[key, value] : pairs)
        dst = writePair<Twice>(dst, &key == &pairs.front().first, QByteArrayView(key), *value);
    return dst;
}

QString formBody(const QMap<QString, QString> &params)
{
    Buffer<4096> body;
    Appender a(body, paramsRoom(params));
    a.pos = writeParams<false>(a.pos, params);
    a.finish();
    return QString::fromLatin1(body.data(), body.size());
}

// method&encode(url)&, then the caller adds the encoded parameter text.
Appender<BaseBuffer> startBaseString(BaseBuffer &base, const Signature &s, qsizetype paramsRoom)
{
    Appender a(base, (s.http_method.size() + s.urlString.size()) * worstEncodedSize + paramsRoom);
    a.pos = writeText(a.pos, s.http_method);
    *a.pos++ = '&';
    a.pos = writeEncoded(a.pos, s.urlString);
    *a.pos++ = '&';
    return a;
}

void writeBaseString(BaseBuffer &base, const Signature &s, const QByteArray &paramText)
{
    Appender a = startBaseString(base, s, paramText.size() * 3 + 2);
    a.pos = writeEncodedBytes(a.pos, paramText.constData(), paramText.size());
    a.finish();
}

void writeBaseString(BaseBuffer &base, const Signature &s, const QMap<QString, QString> &params)
{
    Appender a = startBaseString(base, s, paramsRoom(params));
    a.pos = writeParams<true>(a.pos, params);
    a.finish();
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

char *writeHeaderPart(char *dst, QLatin1String name, QStringView value)
{
    dst = writeLiteral(dst, name);
    *dst++ = '=';
    *dst++ = '"';
    dst = writeText(dst, value);
    *dst++ = '"';
    return dst;
}

// Signs base under the consumer and token secrets and fills the signature,
// the base string and the Authorization header.
void finishSignature(Signature &s, const BaseBuffer &base, bool withToken)
{
    Buffer<2048> key;
    Appender k(
        key, (s.oauth_consumer_secret.size() + s.oauth_token_secret.size()) * worstEncodedSize + 1);
    k.pos = writeEncoded(k.pos, s.oauth_consumer_secret);
    *k.pos++ = '&';
    k.pos = writeEncoded(k.pos, s.oauth_token_secret);
    k.finish();

    const QByteArray digest
        = QMessageAuthenticationCode::hash(QByteArray::fromRawData(base.data(), base.size()),
            QByteArray::fromRawData(key.data(), key.size()), QCryptographicHash::Sha1)
              .toBase64();
    char signature[3 * 28];
    const qsizetype signatureSize
        = writeEncodedBytes(signature, digest.constData(), digest.size()) - signature;

    s.signatureBaseString = QString::fromLatin1(base.data(), base.size());
    s.oauth_signature = QString::fromLatin1(signature, signatureSize);

    const std::pair<QLatin1String, const QString *> parts[] = {
        { QLatin1String("oauth_nonce"), &s.oauth_nonce },
        { QLatin1String("oauth_signature_method"), &s.oauth_signature_method },
        { QLatin1String("oauth_timestamp"), &s.oauth_timestamp },
        { QLatin1String("oauth_token"), withToken ? &s.oauth_token : nullptr },
        { QLatin1String("oauth_consumer_key"), &s.oauth_consumer_key },
        { QLatin1String("oauth_signature"), &s.oauth_signature },
        { QLatin1String("oauth_version"), &s.oauth_version },
    };
    qsizetype room = 6;
    for (const auto &[name, value] : parts)
        room += value ? name.size() + value->size() * 3 + 5 : 0;
    Buffer<1024> header;
    Appender a(header, room);
    a.pos = writeLiteral(a.pos, QLatin1String("OAuth "));
    bool first = true;
    for (const auto &[name, value] : parts) {
        if (!value)
            continue;
        if (!first)
            a.pos = writeLiteral(a.pos, QLatin1String(", "));
        first = false;
        a.pos = writeHeaderPart(a.pos, name, *value);
    }
    a.finish();
    s.authorizationHeader = QString::fromUtf8(header.data(), header.size());
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
    // One call for all draws: each system() call may be a system call.
    constexpr quint64 alphabetSize = sizeof(nonceAlphabet) - 1;
    quint32 draws[nonceLength];
    QRandomGenerator::system()->fillRange(draws);
    QString nonce(nonceLength, Qt::Uninitialized);
    for (int i = 0; i < nonceLength; ++i) // scaled like QRandomGenerator::bounded()
        nonce[i] = QLatin1Char(nonceAlphabet[(draws[i] * alphabetSize) >> 32]);
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

bool Signature::createSignature(unsigned long)
{
    if (!basicValidate()) {
        qCCritical(lcTwitter, "Signature::createSignature() - failed to basicValidate");
        return false;
    }
    BaseBuffer base;
    writeBaseString(base, *this, signatureParams);
    postBody = formBody(bodyParams);
    finishSignature(*this, base, !oauth_token.isEmpty());
    return true;
}

bool Signature::createBasicSignature(unsigned long)
{
    if (!tokenValidate()) {
        qCCritical(lcTwitter, "Signature::createBasicSignature() - user has no access token");
        return false;
    }
    QByteArray params = leadingOAuthParams(*this);
    appendParam(params, u"oauth_token", oauth_token);
    appendParam(params, u"oauth_version", u"1.0");
    appendParam(params, u"status", u"Test tweet 1");
    BaseBuffer base;
    writeBaseString(base, *this, params);
    finishSignature(*this, base, true);
    return true;
}

bool Signature::createLoginSignature(unsigned long)
{
    if (!basicValidate()) {
        qCCritical(lcTwitter, "Signature::createLoginSignature() - failed to basicValidate");
        return false;
    }
    QByteArray params = leadingOAuthParams(*this);
    appendParam(params, u"oauth_version", u"1.0");
    appendParam(params, u"x_auth_mode", u"client_auth");
    appendParam(params, u"x_auth_password", x_auth_password);
    appendParam(params, u"x_auth_username", x_auth_username);
    BaseBuffer base;
    writeBaseString(base, *this, params);
    finishSignature(*this, base, false);
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
    TokenStore::save(*this);
}

void Signature::loadCredentials()
{
    TokenStore::load(*this);
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
