// The signer against independent implementations: python3-oauthlib for every
// request (edge cases and seeded random requests), Qt's QOAuth1Signature for
// those whose names Qt sorts the standard way.
#include "twitter/selftestvectors.h"
#include "twitter/signature.h"
#include "twitter/twitter_core.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QOAuth1Signature>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

#include <memory>

#include <sys/wait.h>
#include <unistd.h>

namespace {

QString str(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toString();
}

QString encoded(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// What python3-oauthlib alone makes of its requests (after it checked zpv-sign).
QJsonArray askOracle()
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral(ORACLE_SCRIPT), QStringLiteral(ZPV_SIGN) });
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        qFatal("oracle failed: %s", python.readAllStandardError().constData());
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

// Signs c the way its form says: "live" (the OAuth set plus params, which are also the
// body), "basic" (the older status form, a fixed list) or "raw" (the params alone).
std::unique_ptr<Signature> sign(const QJsonObject &c)
{
    auto s = std::make_unique<Signature>(
        str(c, "method"), str(c, "consumer_key"), str(c, "consumer_secret"), str(c, "url"));
    s->oauth_token = str(c, "token");
    s->oauth_token_secret = str(c, "token_secret");
    s->oauth_nonce = str(c, "nonce");
    s->oauth_timestamp = str(c, "timestamp");
    s->user_id = s->screen_name = QStringLiteral("1");
    const QString form = str(c, "form");
    s->clearParams();
    if (form != QLatin1String("raw"))
        s->setupOAuthParams();
    for (const QJsonValue &pair : c.value(QLatin1String("params")).toArray()) {
        if (form == QLatin1String("raw"))
            s->addSignatureParam(pair[0].toString(), pair[1].toString());
        else if (form == QLatin1String("live"))
            s->addParam(pair[0].toString(), pair[1].toString());
    }
    for (const QJsonValue &pair : c.value(QLatin1String("override")).toArray())
        s->addSignatureParam(pair[0].toString(), pair[1].toString());
    if (!(form == QLatin1String("basic") ? s->createBasicSignature(0) : s->createSignature(0)))
        qFatal("the signer refused a complete request");
    return s;
}

} // namespace

class TestSignature : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void matchesOracle_data();
    void matchesOracle();
    void nonces();
    void nonceAfterFork();
    void selfTestVectors_data();
    void selfTestVectors();

private:
    QJsonArray m_cases;
};

void TestSignature::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_cases = askOracle();
    QVERIFY(m_cases.size() > 300);
}

void TestSignature::matchesOracle_data()
{
    QTest::addColumn<QJsonObject>("c");
    QTest::addColumn<bool>("peers"); // also against QOAuth1Signature
    // Qt sorts by decoded names, which agrees with the standard only for plain names.
    for (int i = 0; i < m_cases.size(); ++i) {
        const QJsonObject c = m_cases.at(i).toObject();
        QTest::newRow(qPrintable(str(c, "name")))
            << c << (c.value(QLatin1String("plain")).toBool() && (i < 20 || i % 10 == 0));
    }
}

void TestSignature::matchesOracle()
{
    QFETCH(QJsonObject, c);
    QFETCH(bool, peers);
    const auto s = sign(c);
    QCOMPARE(s->signatureBaseString, str(c, "base"));
    QCOMPARE(s->oauth_signature, encoded(str(c, "signature")));
    QCOMPARE(s->postBody, str(c, "body"));
    // The header carries the values that were signed, so a server can rebuild the base string.
    QVERIFY(s->authorizationHeader.startsWith(QLatin1String("OAuth ")));
    QVariantMap header;
    for (const auto &part : QRegularExpression(QStringLiteral("(\\w+)=\"([^\"]*)\""))
                                .globalMatch(s->authorizationHeader))
        header.insert(part.captured(1), part.captured(2));
    QCOMPARE(header, c.value(QLatin1String("header")).toObject().toVariantMap());
    if (!peers)
        return;

    QMultiMap<QString, QVariant> params;
    for (const QJsonValue &pair : c.value(QLatin1String("signed")).toArray())
        params.insert(pair[0].toString(), pair[1].toString());
    const auto method = str(c, "method") == QLatin1String("GET")
        ? QOAuth1Signature::HttpRequestMethod::Get
        : QOAuth1Signature::HttpRequestMethod::Post;
    QOAuth1Signature qt(
        QUrl(str(c, "url")), str(c, "consumer_secret"), str(c, "token_secret"), method, params);
    QCOMPARE(s->oauth_signature, encoded(QString::fromLatin1(qt.hmacSha1().toBase64())));
}

// Nonces come from a per-thread stock of random bytes: every character must
// stay equally likely and no nonce may repeat.
void TestSignature::nonces()
{
    const QString alphabet
        = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    constexpr int count = 20000;
    Signature s;
    QSet<QString> seen;
    QHash<QChar, int> frequency;
    for (int i = 0; i < count; ++i) {
        s.newNonce();
        QCOMPARE(s.oauth_nonce.size(), 45);
        QVERIFY2(!seen.contains(s.oauth_nonce), qPrintable(s.oauth_nonce));
        seen.insert(s.oauth_nonce);
        for (QChar c : std::as_const(s.oauth_nonce))
            ++frequency[c];
    }
    QCOMPARE(frequency.size(), alphabet.size());
    // About 14,500 each with a deviation of 120; a byte taken modulo the
    // alphabet without redrawing puts the first eight 21 % above the rest.
    const double expected = count * 45.0 / alphabet.size();
    for (QChar c : alphabet) {
        QVERIFY2(qAbs(frequency.value(c) - expected) < expected * 0.06,
            qPrintable(QStringLiteral("%1 drawn %2 times").arg(c).arg(frequency.value(c))));
    }
}

// A child process must not hand out the nonces its parent will use next.
void TestSignature::nonceAfterFork()
{
    Signature s;
    s.newNonce(); // the parent's stock is filled
    int fds[2];
    QCOMPARE(pipe(fds), 0);
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        s.newNonce();
        const QByteArray nonce = s.oauth_nonce.toLatin1();
        _exit(write(fds[1], nonce.constData(), nonce.size()) == nonce.size() ? 0 : 1);
    }
    ::close(fds[1]);
    char buffer[64] = {};
    const ssize_t got = read(fds[0], buffer, sizeof buffer);
    ::close(fds[0]);
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QCOMPARE(got, 45);
    s.newNonce();
    QVERIFY(s.oauth_nonce != QLatin1String(buffer, got));
}

// The plug-in's built-in self-tests compare our signer with constants: the
// constants must be what Qt's own signer makes of the same requests, and the
// self-tests must pass.
void TestSignature::selfTestVectors_data()
{
    QTest::addColumn<QString>("consumerSecret");
    QTest::addColumn<QString>("tokenSecret");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QVariantMap>("params");
    QTest::addColumn<QString>("baseString");
    QTest::addColumn<QString>("signature");
    QTest::addColumn<int>("selfTest");
    const auto oauth = [](const auto &v) {
        return QVariantMap { { u"oauth_consumer_key"_qs, QString::fromLatin1(v.consumerKey) },
            { u"oauth_nonce"_qs, QString::fromLatin1(v.nonce) },
            { u"oauth_signature_method"_qs, u"HMAC-SHA1"_qs },
            { u"oauth_timestamp"_qs, QString::fromLatin1(v.timestamp) },
            { u"oauth_version"_qs, u"1.0"_qs } };
    };
    const auto login = [&](const char *name, const SelfTestVectors::LoginVector &v, int test) {
        QVariantMap params = oauth(v);
        params.insert(u"x_auth_mode"_qs, QString::fromLatin1(v.xAuthMode));
        params.insert(u"x_auth_password"_qs, QString::fromUtf8(v.password));
        params.insert(u"x_auth_username"_qs, QString::fromUtf8(v.userName));
        QTest::newRow(name) << QString::fromLatin1(v.consumerSecret) << QString()
                            << QString::fromLatin1(v.url) << params
                            << QString::fromLatin1(v.baseString) << QString::fromLatin1(v.signature)
                            << test;
    };
    login("sign-in, escaped password", SelfTestVectors::signatureTest1, 1);
    login("sign-in, plain password", SelfTestVectors::signatureTest2, 2);
    const SelfTestVectors::TweetVector &v = SelfTestVectors::signatureTweetTest;
    QVariantMap params = oauth(v);
    params.insert(u"oauth_token"_qs, QString::fromLatin1(v.token));
    params.insert(u"status"_qs, QString::fromUtf8(v.status));
    QTest::newRow("status update")
        << QString::fromLatin1(v.consumerSecret) << QString::fromLatin1(v.tokenSecret)
        << QString::fromLatin1(v.url) << params << QString::fromLatin1(v.baseString)
        << QString::fromLatin1(v.signature) << 3;
}

void TestSignature::selfTestVectors()
{
    QFETCH(QString, consumerSecret);
    QFETCH(QString, tokenSecret);
    QFETCH(QString, url);
    QFETCH(QVariantMap, params);
    QFETCH(QString, baseString);
    QFETCH(QString, signature);
    QFETCH(int, selfTest);
    QMultiMap<QString, QVariant> parameters;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        parameters.insert(it.key(), it.value());
    const QOAuth1Signature qt(QUrl(url), consumerSecret, tokenSecret,
        QOAuth1Signature::HttpRequestMethod::Post, parameters);
    QCOMPARE(signature, encoded(QString::fromLatin1(qt.hmacSha1().toBase64())));
    // The base string is the one that signature was made of.
    const QByteArray key
        = QUrl::toPercentEncoding(consumerSecret) + '&' + QUrl::toPercentEncoding(tokenSecret);
    QCOMPARE(signature,
        encoded(QString::fromLatin1(
            QMessageAuthenticationCode::hash(baseString.toUtf8(), key, QCryptographicHash::Sha1)
                .toBase64())));

    struct SelfTests : Twitter_core
    {
        using Twitter_core::signatureTest1;
        using Twitter_core::signatureTest2;
        using Twitter_core::Twitter_core;
    } client(nullptr, 0);
    const bool passed = selfTest == 1 ? client.signatureTest1(0)
        : selfTest == 2               ? client.signatureTest2(0)
                                      : client.signatureTweetTest(0);
    QVERIFY(passed);
}

QTEST_GUILESS_MAIN(TestSignature)
#include "tst_signature.moc"
