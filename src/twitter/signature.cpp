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
#include <cstring>

#include <cerrno>

#include <pthread.h>
#include <sys/random.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
// Worst case per UTF-16 unit: 3 UTF-8 bytes, each "%XX".
constexpr qsizetype worstEncodedSize = 9;

// Every byte's encoded form, padded to four bytes, and its length: a byte is
// encoded by copying four bytes and stepping by the length, with no branch
// (a text's mix of letters and spaces would mispredict one). Each copy may
// write up to three bytes past the form; Appender leaves room for that.
struct EncodedBytes
{
    std::array<std::array<char, 4>, 256> form {};
    std::array<quint8, 256> length {};
};

constexpr EncodedBytes makeEncodedBytes()
{
    EncodedBytes table;
    for (int c = 0; c < 256; ++c) {
        if (unreservedTable[c]) {
            table.form[c] = { char(c), 0, 0, 0 };
            table.length[c] = 1;
        } else {
            table.form[c] = { '%', hexDigits[c >> 4], hexDigits[c & 0xF], 0 };
            table.length[c] = 3;
        }
    }
    return table;
}
constexpr EncodedBytes encodedBytes = makeEncodedBytes();
constexpr qsizetype encoderSlack = 3;

inline char *writeEncodedByte(char *dst, uchar c)
{
    std::memcpy(dst, encodedBytes.form[c].data(), 4);
    return dst + encodedBytes.length[c];
}

char *writeEncodedBytes(char *dst, const char *data, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i)
        dst = writeEncodedByte(dst, uchar(data[i]));
    return dst;
}

#ifdef __SSE2__
// Copies eight UTF-16 units as bytes; true when all were unreserved.
inline bool copyIfUnreserved8(char *dst, const char16_t *src)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
    const auto within = [v](char16_t low, char16_t high) {
        return _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16(short(low - 1))),
            _mm_cmplt_epi16(v, _mm_set1_epi16(short(high + 1))));
    };
    // Signed compares: units from 0x8000 up read as negative and match no range.
    __m128i ok = _mm_or_si128(within(u'a', u'z'), within(u'A', u'Z'));
    ok = _mm_or_si128(ok, within(u'0', u'9'));
    ok = _mm_or_si128(ok, within(u'-', u'.'));
    ok = _mm_or_si128(ok, _mm_cmpeq_epi16(v, _mm_set1_epi16(u'_')));
    ok = _mm_or_si128(ok, _mm_cmpeq_epi16(v, _mm_set1_epi16(u'~')));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(dst), _mm_packus_epi16(v, v));
    return _mm_movemask_epi8(ok) == 0xFFFF;
}
#endif

// Encodes ASCII units from src up to end; false at the first one that is not.
inline bool writeEncodedAscii(char *&dst, const char16_t *src, const char16_t *end)
{
    for (; src < end; ++src) {
        if (Q_UNLIKELY(*src >= 0x80))
            return false;
        dst = writeEncodedByte(dst, uchar(*src));
    }
    return true;
}

// Same bytes as QUrl::toPercentEncoding(text); only the ASCII path is our own.
char *writeEncoded(char *dst, QStringView text)
{
    char *const start = dst;
    const char16_t *src = text.utf16();
    const char16_t *const end = src + text.size();
#ifdef __SSE2__
    // Most values (keys, tokens, nonces, numbers) need no escape at all, and
    // in a status most runs of eight have none.
    for (; end - src >= 8; src += 8) {
        if (copyIfUnreserved8(dst, src))
            dst += 8;
        else if (!writeEncodedAscii(dst, src, src + 8))
            break;
    }
#endif
    if (src == end || writeEncodedAscii(dst, src, end))
        return dst;
    const QByteArray once = QUrl::toPercentEncoding(text.toString());
    return std::copy(once.cbegin(), once.cend(), start);
}

// The text as UTF-8, unencoded.
char *writeText(char *dst, QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (Q_UNLIKELY(text[i].unicode() >= 0x80)) {
            const QByteArray utf8 = text.toUtf8();
            return std::copy(utf8.cbegin(), utf8.cend(), dst - i);
        }
        *dst++ = char(text[i].unicode());
    }
    return dst;
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
        out.resize(m_start + room + encoderSlack);
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
using ParamBuffer = Buffer<4096>;

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

// One pair of a parameter text: where it starts, where its value starts and
// where it ends, and whether encoding changed the value.
struct PairSpan
{
    qsizetype start;
    qsizetype value;
    qsizetype end;
    bool escaped; // encoding changed the value
};
using PairSpans = QVarLengthArray<PairSpan, 16>;

// The normalised parameter text with every value encoded once, for names of
// unreserved characters (all that requests use): they read the same encoded
// and sort in the map's own order. False when a name is not such a one.
bool writePlainParams(ParamBuffer &out, const QMap<QString, QString> &params, PairSpans &spans)
{
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        const QString &key = it.key();
        const QString &value = it.value();
        const bool first = it == params.cbegin();
        Appender a(out, key.size() + value.size() * worstEncodedSize + 2);
        const qsizetype start = a.pos - out.data() + (first ? 0 : 1);
        if (!first)
            *a.pos++ = '&';
        for (QChar c : key) {
            if (c.unicode() >= 0x80 || !isUnreserved(uchar(c.unicode())))
                return false;
            *a.pos++ = char(c.unicode());
        }
        *a.pos++ = '=';
        char *const valueStart = a.pos;
        a.pos = writeEncoded(a.pos, value);
        const bool escaped = a.pos - valueStart != value.size();
        a.finish();
        spans.append({ start, valueStart - out.data(), out.size(), escaped });
    }
    return true;
}

// The same for any names: pairs sorted by their encoded names, as servers
// rebuild them.
void writeParams(ParamBuffer &out, const QMap<QString, QString> &params)
{
    PairSpans spans;
    if (writePlainParams(out, params, spans))
        return;
    out.clear();
    QVarLengthArray<std::pair<QByteArray, const QString *>, 16> pairs;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        pairs.append({ encoded(it.key()), &it.value() });
    std::sort(
        pairs.begin(), pairs.end(), [](const auto &x, const auto &y) { return x.first < y.first; });
    for (const auto &[key, value] : pairs) {
        Appender a(out, key.size() + value->size() * worstEncodedSize + 2);
        if (&key != &pairs.front().first)
            *a.pos++ = '&';
        a.pos = std::copy(key.cbegin(), key.cend(), a.pos);
        *a.pos++ = '=';
        a.pos = writeEncoded(a.pos, *value);
        a.finish();
    }
}

// The body is the pairs of bodyParams as they stand in the signed parameter
// text, when every one of them was signed with the same value (as addParam
// leaves them): so the status is encoded once for both. False otherwise.
bool cutBody(QString &body, const ParamBuffer &params, const PairSpans &spans,
    const QMap<QString, QString> &signedParams, const QMap<QString, QString> &bodyParams)
{
    ParamBuffer out;
    auto wanted = bodyParams.cbegin();
    qsizetype i = 0;
    for (auto it = signedParams.cbegin(); it != signedParams.cend() && wanted != bodyParams.cend();
         ++it, ++i) {
        if (it.key() != wanted.key())
            continue;
        if (it.value() != wanted.value())
            return false;
        if (wanted != bodyParams.cbegin())
            out.append('&');
        out.append(params.data() + spans[i].start, spans[i].end - spans[i].start);
        ++wanted;
    }
    if (wanted != bodyParams.cend())
        return false;
    body = QLatin1String(out.data(), out.size());
    return true;
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

void writeBaseString(BaseBuffer &base, const Signature &s, QByteArrayView paramText)
{
    Appender a = startBaseString(base, s, paramText.size() * 3 + 2);
    a.pos = writeEncodedBytes(a.pos, paramText.data(), paramText.size());
    a.finish();
}

// Encoding the parameter text again escapes only the separators and the
// percent signs of escaped values; everything else is copied as it stands.
void writeBaseString(
    BaseBuffer &base, const Signature &s, const ParamBuffer &params, const PairSpans &spans)
{
    Appender a = startBaseString(base, s, params.size() * 3 + 2);
    for (const PairSpan &pair : spans) {
        if (&pair != spans.cbegin())
            a.pos = std::copy_n("%26", 3, a.pos);
        a.pos = std::copy(params.data() + pair.start, params.data() + pair.value - 1, a.pos);
        a.pos = std::copy_n("%3D", 3, a.pos);
        if (pair.escaped)
            a.pos = writeEncodedBytes(a.pos, params.data() + pair.value, pair.end - pair.value);
        else
            a.pos = std::copy(params.data() + pair.value, params.data() + pair.end, a.pos);
    }
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

// A signer signs under the same key request after request: the code's state
// is kept per thread and only reset, instead of made anew each time.
QByteArray hmacSha1WithKey(QByteArrayView message, QByteArrayView key)
{
    thread_local QMessageAuthenticationCode mac(QCryptographicHash::Sha1);
    thread_local QByteArray macKey;
    if (key != QByteArrayView(macKey)) {
        macKey = key.toByteArray();
        mac.setKey(macKey);
    } else {
        mac.reset();
    }
    mac.addData(message.data(), message.size());
    return mac.result();
}

// Qt's system generator reads the processor's generator word by word, which
// on virtual machines can cost more than the rest of a request's signing;
// the kernel's generator fills a per-thread stock of bytes for many nonces
// in one call instead. A forked child starts with an empty stock, so parent
// and child never share draws.
struct RandomStock
{
    std::array<uchar, 4096> bytes;
    qsizetype left = 0;
};
thread_local RandomStock randomStock;

void fillFromKernel(std::array<uchar, 4096> &bytes)
{
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        filled += std::size_t(got);
    }
    if (filled < bytes.size()) {
        QRandomGenerator::system()->generate(reinterpret_cast<quint32 *>(bytes.data()),
            reinterpret_cast<quint32 *>(bytes.data() + bytes.size()));
    }
}

uchar randomByte()
{
    static const int registered = pthread_atfork(nullptr, nullptr, [] { randomStock.left = 0; });
    Q_UNUSED(registered);
    RandomStock &stock = randomStock;
    if (stock.left == 0) {
        fillFromKernel(stock.bytes);
        stock.left = stock.bytes.size();
    }
    uchar &byte = stock.bytes[--stock.left];
    const uchar value = byte;
    byte = 0; // never handed out twice
    return value;
}

// Writes text at dst of a string sized for it.
QChar *writeChars(QChar *dst, QStringView text)
{
    return std::copy(text.begin(), text.end(), dst);
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

    const QByteArray digest = hmacSha1WithKey(
        QByteArrayView(base.data(), base.size()), QByteArrayView(key.data(), key.size()))
                                  .toBase64();
    char signature[3 * 28 + encoderSlack];
    const qsizetype signatureSize
        = writeEncodedBytes(signature, digest.constData(), digest.size()) - signature;

    // Assigned rather than made anew: a signer used again keeps its strings' room.
    s.signatureBaseString = QLatin1String(base.data(), base.size());
    s.oauth_signature = QLatin1String(signature, signatureSize);

    const std::pair<QStringView, const QString *> parts[] = {
        { QStringView(u"oauth_nonce"), &s.oauth_nonce },
        { QStringView(u"oauth_signature_method"), &s.oauth_signature_method },
        { QStringView(u"oauth_timestamp"), &s.oauth_timestamp },
        { QStringView(u"oauth_token"), withToken ? &s.oauth_token : nullptr },
        { QStringView(u"oauth_consumer_key"), &s.oauth_consumer_key },
        { QStringView(u"oauth_signature"), &s.oauth_signature },
        { QStringView(u"oauth_version"), &s.oauth_version },
    };
    qsizetype size = 6;
    for (const auto &[name, value] : parts)
        size += value ? name.size() + value->size() + 5 : 0;
    QString &header = s.authorizationHeader;
    header.resize(size - 2); // one ", " less than parts
    QChar *dst = writeChars(header.data(), u"OAuth ");
    for (const auto &[name, value] : parts) {
        if (!value)
            continue;
        if (dst != header.data() + 6)
            dst = writeChars(dst, u", ");
        dst = writeChars(dst, name);
        dst = writeChars(dst, u"=\"");
        dst = writeChars(dst, *value);
        *dst++ = u'"';
    }
}

QString formBody(const QMap<QString, QString> &params)
{
    ParamBuffer body;
    writeParams(body, params);
    return QString::fromLatin1(body.data(), body.size());
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
    // Bytes past the last whole multiple of the alphabet are drawn again,
    // so that every character is equally likely.
    constexpr uint alphabetSize = sizeof(nonceAlphabet) - 1;
    constexpr uint limit = 256 - 256 % alphabetSize;
    QString nonce(nonceLength, Qt::Uninitialized);
    for (QChar &c : nonce) {
        uint byte;
        do {
            byte = randomByte();
        } while (byte >= limit);
        c = QLatin1Char(nonceAlphabet[byte % alphabetSize]);
    }
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
    // Every value is encoded once: the base string encodes the parameter
    // text again, and the body is cut out of it.
    ParamBuffer params;
    PairSpans spans;
    BaseBuffer base;
    if (writePlainParams(params, signatureParams, spans)) {
        writeBaseString(base, *this, params, spans);
        if (!cutBody(postBody, params, spans, signatureParams, bodyParams))
            postBody = formBody(bodyParams);
    } else {
        params.clear();
        writeParams(params, signatureParams);
        writeBaseString(base, *this, QByteArrayView(params.data(), params.size()));
        postBody = formBody(bodyParams);
    }
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
