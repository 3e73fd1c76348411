// The network side against scripted loopback servers: the transport counts an
// answer only when it arrived whole from a trusted server; every client request
// ends in exactly one result, with the right flags and a text of its own; short
// links of media files, one request per link.
#include "badges/badgeimagesfixture.h"
#include "badges/badger.h"
#include "common/isolatedsettings.h"
#include "common/loopbackserver.h"
#include "common/testcertificates.h"
#include "mediafixtures.h"
#include "platform/secretstore.h"
#include "twitter/httptransport.h"
#include "twitter/signature.h"
#include "twitter/twitter_core.h"
#include "twitterservice.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QUrlQuery>

#include <qt6keychain/keychain.h>

#include <array>
#include <limits>
#include <memory>

using Script = LoopbackServer::Script;
Q_DECLARE_METATYPE(LoopbackServer::Script)

namespace {

enum Server { Plain, Refused, Redirect, Tls, TlsTrusted, TlsJunkCa, TlsTrustedBefore };
// The x flavour's kinds follow the others.
enum Kind { Login, Update, Check, XAuthorize, XLogin, XUpdate, XCheck, XFetch };
// FileToken: the whole record in the settings file, as earlier versions kept it;
// InKeyring: the token in the keyring only, put there by an earlier run;
// Dropped: the answer makes the client drop the stored token.
enum Setup { Normal, SignOut, EmptyText, NoUserId, FileToken, InKeyring, Dropped };
// Not "Secret": the file check below looks for the token secret by that word.
const QString appSecret = QStringLiteral("App K3y/+&\u00e9");
const QByteArray requestToken
    = "oauth_token=ReqToken&oauth_token_secret=ReqSecret&oauth_callback_confirmed=true";

const char *const fileKeys[] = { "oauth_token", "oauth_token_secret", "user_id", "screen_name" };
const QString earlierToken = QStringLiteral("12345678-AbCdEfGhIjKlMnOpQrStUvWxYz0123456789abcdefg");
const QString uploadAppId = QStringLiteral("{D263A27F-C49A-4dd7-8C8B-A253CF319468}");
const QByteArray user = "<id>12345678</id><name>Gallery User</name><screen_name>gu</screen_name>";
const QByteArray hello = "<id>4711</id><text>Hello world</text>";
const QByteArray picture = "<profile_image_url>http://127.0.0.1/p.png</profile_image_url>";

Script status(const QByteArray &inner = hello, const QByteArray &userInner = user + picture,
    const QByteArray &doctype = QByteArray())
{
    return Script::answer(200,
        "<?xml version=\"1.0\"?>\n" + doctype + "<status>" + inner + "<user>" + userInner
            + "</user></status>");
}

QStringList *capturedLog = nullptr;
QtMessageHandler testHandler = nullptr;
int keyringFallbackLines = 0;

// The keyring entry of a screen name, read or written past the plug-in's own
// copy; empty when absent or unreadable.
QByteArray keyringEntry(const QString &screenName, const QByteArray &write = QByteArray())
{
    QKeychain::ReadPasswordJob reading(QStringLiteral("ZPV Twitter"));
    QKeychain::WritePasswordJob writing(reading.service());
    QKeychain::Job &job = write.isNull() ? static_cast<QKeychain::Job &>(reading) : writing;
    writing.setBinaryData(write);
    job.setAutoDelete(false);
    job.setKey(screenName);
    QSignalSpy done(&job, &QKeychain::Job::finished);
    job.start();
    const bool found = done.wait(5000) && job.error() == QKeychain::NoError;
    return found ? reading.binaryData() + write : QByteArray();
}

// The long link a shortening request asked for: the one value of "url" (a raw "+"
// would read as a space), else empty.
QString askedLink(const LoopbackServer::Request &request)
{
    const QUrlQuery query(QUrl::fromEncoded(request.path).query());
    return query.queryItems().size() == 1 && !request.path.contains('+')
        ? query.queryItemValue(QStringLiteral("url"), QUrl::FullyDecoded)
        : QString();
}

} // namespace

class TestTwitterCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void transport_data();
    void transport();
    void outcomes_data();
    void outcomes();
    void shortLink_data();
    void shortLink();
    void shortLinksInFlight();

private:
    // A media file with a badge entry of appId (none when empty).
    QString mediaFile(const QString &name, const QString &appId, const QString &link)
    {
        const QString path = m_dir->filePath(name);
        return MediaFixtures::writeFile(path, "media")
                && (appId.isEmpty() || Badger().badgeContent(appId, link, path, 0))
            ? path
            : QString();
    }

    TestCertificates m_certificates;
    QTemporaryFile m_junk;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<LoopbackServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestTwitterCore::initTestCase()
{
    // Local times are shown; half an hour off UTC tells them apart.
    qputenv("TZ", "IST-5:30");
    QVERIFY(buildBadgeImages(uploadAppId));
    QVERIFY2(m_certificates.create(), qPrintable(m_certificates.error()));
    QVERIFY(m_junk.open() && m_junk.write("not a certificate\n") > 0 && m_junk.flush());
}

void TestTwitterCore::init()
{
    m_settings = std::make_unique<IsolatedSettings>();
    m_server = std::make_unique<LoopbackServer>();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_settings->isValid() && m_dir->isValid() && m_server->listen());
    IsolatedSettings::set(TwitterSettings::apiUrlKey, m_server->url().toString());
    IsolatedSettings::set(TwitterSettings::shortenerUrlKey, m_server->url().toString());
    IsolatedSettings::set(TwitterSettings::timeoutKey, 400);
}

void TestTwitterCore::transport_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("timeoutMs"); // 0: the default
    QTest::addColumn<QByteArray>("authorization"); // set: a signed request
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("expected"); // the body of an answer, or part of why there is none

    constexpr qint64 mib = 1024 * 1024;
    const QByteArray by = "OAuth oauth_token=\"t\"";
    const QByteArray error = "<hash><error>Invalid</error></hash>";
    const QByteArray tooLarge = "reply larger than 1 MiB";
    auto row
        = [](const char *name, int server, const Script &script, int timeoutMs = 0) -> QTestData & {
        return QTest::newRow(name) << server << script << timeoutMs;
    };
    // clang-format off
    row("200", Plain, Script::answer(200, "short")) << QByteArray() << 200 << QByteArray("short");
    row("401 is an answer", Plain, Script::answer(401, error)) << by << 401 << error;
    row("exactly the cap", Plain, Script::large(mib, false)) << QByteArray() << 200 << QByteArray(mib, 'x');
    row("largest timeout setting", Plain, Script::answer(200, "ok"), std::numeric_limits<int>::max())
        << QByteArray() << 200 << QByteArray("ok");
    row("refused", Refused, Script()) << QByteArray() << 0 << QByteArray("refused");
    row("closed at once", Plain, Script { Script::CloseAtOnce }) << by << 0 << QByteArray();
    row("cut short", Plain, Script { Script::Answer, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc" }) << by << 0 << QByteArray();
    row("one byte over the cap", Plain, Script::large(mib + 1, false)) << QByteArray() << 0 << tooLarge;
    // The client must hang up half way, not take it all in.
    row("over the cap while arriving", Plain, Script::drip(Script::large(2 * mib, true).raw, 5, 64 * 1024))
        << QByteArray() << 0 << tooLarge;
    row("silent", Plain, Script { Script::Silent }, 300) << by << 0 << QByteArray("timed out after 300 ms without data");
    // Never quiet for as long as the idle timeout, yet far too slow overall.
    row("drips past the deadline", Plain, Script::drip(Script::answer(200, QByteArray(200, 'd')).raw, 50), 400)
        << by << 0 << QByteArray("timed out after 1200 ms");
    row("signed request redirected", Redirect, Script()) << by << 0 << QByteArray("redirected a signed request to http://127.0.0.1:");
    row("unsigned request redirected", Redirect, Script()) << QByteArray() << 200 << QByteArray("elsewhere");
    row("untrusted certificate", Tls, Script::answer(200, "secure")) << by << 0 << QByteArray("certificate");
    row("test CA trusted", TlsTrusted, Script::answer(200, "secure")) << by << 200 << QByteArray("secure");
    row("CA file without certificates", TlsJunkCa, Script::answer(200, "secure")) << by << 0 << QByteArray("certificate");
    // Connections are pooled; one opened while the test CA was trusted is not.
    row("CA trusted before, not now", TlsTrustedBefore, Script()) << by << 0 << QByteArray("certificate");
    // clang-format on
}

void TestTwitterCore::transport()
{
    QFETCH(int, server);
    QFETCH(Script, script);
    QFETCH(int, timeoutMs);
    QFETCH(QByteArray, authorization);
    QFETCH(int, status);
    QFETCH(QByteArray, expected);

    IsolatedSettings::set(
        TwitterSettings::timeoutKey, timeoutMs ? QVariant(timeoutMs) : QVariant());
    IsolatedSettings::set(TwitterSettings::caCertificatesKey,
        server == TlsTrusted      ? QVariant(m_certificates.caFile())
            : server == TlsJunkCa ? QVariant(m_junk.fileName())
                                  : QVariant());
    LoopbackServer loopback;
    LoopbackServer elsewhere;
    QVERIFY(elsewhere.listen({ Script::answer(200, "elsewhere") }));
    if (server == Redirect)
        script = Script::answer(302, QByteArray(), { { "Location", elsewhere.url().toEncoded() } });
    QVERIFY(server >= Tls
            ? loopback.listenTls(m_certificates.serverCertificate(), m_certificates.serverKey())
            : loopback.listen());
    loopback.setScripts({ script });
    QUrl url = loopback.url();
    if (server == Refused)
        url.setPort(LoopbackServer::unusedPort());
    ServiceOptions options;
    options.tlsCertificate = m_certificates.serverCertificateFile();
    options.tlsKey = m_certificates.serverKeyFile();
    TwitterService keptAlive(options);
    if (server == TlsTrustedBefore) {
        QString error;
        QVERIFY2(keptAlive.start(&error), qPrintable(error));
        url = keptAlive.baseUrl();
        IsolatedSettings::set(TwitterSettings::caCertificatesKey, m_certificates.caFile());
        HttpTransport trusted;
        QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> first(trusted.get(url, "text"));
        QTRY_VERIFY(first->isFinished());
        QCOMPARE(HttpTransport::answeredStatus(first.get()), 200);
        IsolatedSettings::set(TwitterSettings::caCertificatesKey, QVariant());
    }

    HttpTransport http;
    QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(
        http.get(url, "text", authorization));
    QVERIFY(QTest::qWaitFor([&] { return reply->isFinished(); }, 15000));

    QCOMPARE(HttpTransport::answeredStatus(reply.get()), status);
    const QString why = HttpTransport::failureReason(reply.get());
    QVERIFY2(why.isEmpty() == (status == 200)
            && (status != 0 || why.contains(QString::fromUtf8(expected), Qt::CaseInsensitive)),
        qPrintable(why));
    if (status != 0)
        QCOMPARE(HttpTransport::body(reply.get()) + HttpTransport::body(reply.get()),
            expected + expected);
    QVERIFY(HttpTransport::body(reply.get()).size() <= HttpTransport::maxReplySize);
    if (script.kind == Script::Drip)
        QTRY_COMPARE(loopback.abandonedCount(), 1);
    // Nothing reaches a server that could not prove who it is.
    if (server >= Tls)
        QCOMPARE(loopback.requests().size(), status == 200 ? 1 : 0);
    for (const LoopbackServer::Request &request : loopback.requests())
        QCOMPARE(request.header("Authorization"), authorization);
    // A redirect carries a signed request nowhere.
    QCOMPARE(elsewhere.requests().size(), server == Redirect && authorization.isEmpty() ? 1 : 0);
}

void TestTwitterCore::outcomes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("setup");
    QTest::addColumn<Script>("script");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("flags");
    // Whole-text pattern of "error text (on success the user's name);" and the result's text,
    // status id and user id: every failure sets a text of its own. Null: nothing is sent.
    QTest::addColumn<QString>("result");

    const QString unread = QStringLiteral("The service answered, but its reply could not be read");
    const QString noToken = QStringLiteral("The sign-in reply of the server could not be read.");
    const QByteArray token
        = "oauth_token=87654321-new&oauth_token_secret=NewSecret&user_id=1&screen_name=u";
    const QString posted = QStringLiteral(";Hello world;4711;12345678");
    auto failed = [](const QString &why) -> QString {
        return why + u';' + why + QStringLiteral(";;");
    };
    auto row = [](const char *name, int kind, const Script &script, bool ok, const QString &result,
                   int flags = 0, int setup = Normal) -> QTestData & {
        return QTest::newRow(name) << kind << setup << script << ok << flags << result;
    };
    // clang-format off
    row("signed in", Login, Script::answer(200, token), true, QString(""));
    row("wrong password", Login, Script::answer(401, "<hash><error>Invalid user name or password</error></hash>"), false, QStringLiteral("Invalid user name or password"), 1);
    row("plain text refusal", Login, Script::answer(403, "Rate limit"), false, QStringLiteral("Rate limit"));
    // A page of a proxy or server carries no message of the service's own.
    row("sign-in: proxy page in capitals", Login, Script::answer(502, "<!DOCTYPE html>\n<HTML><BODY>bad gateway</BODY></HTML>"),
        false, QStringLiteral("The service answered HTTP 502 Status 502"));
    row("empty token reply", Login, Script::answer(200, QByteArray()), false, noToken);
    // A partly read token could never be confirmed.
    row("malformed secret", Login, Script::answer(200, "oauth_token=a&oauth_token_secret=Top=Secret&user_id=1&screen_name=c"), false, noToken);
    row("bare secret", Login, Script::answer(200, "oauth_token=a&TopSecret&user_id=1&screen_name=c"), false, noToken);
    // The sign-out wins: the late token is not stored again.
    row("signed out before the answer", Login, Script::answer(200, token), false, QStringLiteral("Signed out before the service answered."), 0, SignOut);
    row("earlier version's token replaced", Login, Script::answer(200, token), true, QString(""), 0, FileToken);
    row("no answer to the sign-in", Login, Script { Script::CloseAtOnce }, false, QStringLiteral(".+"), 2);
    row("status posted", Update, status(), true, posted);
    // The status exists once the answer names it, even when its user record is short of a field.
    row("posted, user without picture", Update, status(hello, user), true, posted);
    // Answered, but nothing says the status exists: the user may try again.
    row("status answer not XML", Update, Script::answer(200, "OK"), false, failed(unread));
    row("status answer without id", Update, status("<text>Hi</text>"), false, failed(unread));
    row("status answer with entities", Update, status("<id>&i;</id><text>x</text>", user + picture,
        "<!DOCTYPE status [<!ENTITY i \"4711\">]>"), false, failed(unread));
    row("duplicate status", Update, Script::answer(403, "<hash><error>Status is a duplicate.</error></hash>", { { "Set-Cookie", "s=CookieSecret" } }), false, failed(QStringLiteral("Status is a duplicate.")));
    row("status: well-formed html page", Update, Script::answer(503, "<html lang=\"en\"><body>down</body></html>"),
        false, failed(QStringLiteral("The service answered HTTP 503 Status 503")));
    row("status without answer", Update, Script { Script::CloseAtOnce }, false, QStringLiteral("(.+);\\1;;"));
    row("empty status", Update, status(), false, QString(), 0, EmptyText);
    row("stored sign-in without user id", Update, status(), false, QString(), 0, NoUserId);
    row("posted with an earlier version's token", Update, status(), true, posted, 0, FileToken);
    row("posted with a token from the keyring", Update, status(), true, posted, 0, InKeyring);
    row("user check", Check, Script::answer(200, "<user>" + user + picture + "</user>"), true, QStringLiteral("Gallery User"));
    row("user answer short of a field", Check, Script::answer(200, "<user>" + user + "</user>"), false, unread);
    row("x: authorization started", XAuthorize, Script::answer(200, requestToken), true, QStringLiteral(";http://127.0.0.1:\\d+/oauth/authorize\\?oauth_token=ReqToken"));
    // Without the confirmation no PIN will come.
    row("x: callback not confirmed", XAuthorize, Script::answer(200, "oauth_token=ReqToken&oauth_token_secret=ReqSecret"), false, noToken + u';');
    row("x: consumer refused", XAuthorize, Script::answer(401, R"({"errors":[{"code":32,"message":"Could not authenticate you."}]})"), false, QStringLiteral("Could not authenticate you.;"), 1);
    row("x: PIN sign-in", XLogin, Script::answer(200, token), true, QString(""));
    row("x: wrong PIN", XLogin, Script::answer(401, "<hash><error>Invalid oauth_verifier parameter</error></hash>"), false, QStringLiteral("Invalid oauth_verifier parameter"), 1);
    row("x: posted", XUpdate, Script::answer(201, R"({"data":{"id":"4711","text":"Hello world"}})"), true, posted);
    row("x: duplicate", XUpdate, Script::answer(403, R"({"title":"Forbidden","type":"about:blank","status":403,"detail":"You are not allowed to create a Tweet with duplicate content."})"),
        false, failed(QStringLiteral("You are not allowed to create a Tweet with duplicate content.")));
    // 2026-01-01 00:00 UTC, in the test's time zone.
    row("x: rate limited", XUpdate, Script::answer(429, R"({"title":"Too Many Requests","errors":[{"code":88,"message":"Rate limit exceeded"}]})", { { "x-rate-limit-reset", "1767225600" } }),
        false, failed(QStringLiteral("Twitter takes no more requests for now; try again at 05:30.")));
    row("x: server page", XUpdate, Script::answer(502, "<html><body>bad gateway</body></html>"), false, failed(QStringLiteral("The service answered HTTP 502 Status 502")));
    row("x: cut-short JSON", XUpdate, Script::answer(201, R"({"data":{"id":"47)"), false, failed(unread));
    row("x: user", XCheck, Script::answer(200, R"({"data":{"id":"12345678","name":"Gallery User","username":"gu"}})"), true, QStringLiteral("Gallery User"));
    // Only a token the service no longer knows is dropped.
    row("x: invalid token", XCheck, Script::answer(401, R"({"title":"Unauthorized","status":401,"detail":"Invalid or expired token"})"), false, QStringLiteral("Invalid or expired token"), 0, Dropped);
    row("x: bad signature", XCheck, Script::answer(401, R"({"title":"Unauthorized","status":401,"detail":"Invalid signature"})"), false, QStringLiteral("Invalid signature"));
    row("x: fetched", XFetch, Script::answer(200, R"({"data":{"id":"4711","text":"Hello world","author_id":"12345678"}})"), true, posted);
    row("x: no such status", XFetch, Script::answer(200, R"({"errors":[{"detail":"Could not find tweet with id: [4711].","title":"Not Found Error"}]})"),
        false, QStringLiteral("Could not find tweet with id: \\[4711\\]\\.;;;"));
    // clang-format on
}

void TestTwitterCore::outcomes()
{
    QFETCH(int, kind);
    QFETCH(int, setup);
    QFETCH(Script, script);
    QFETCH(bool, ok);
    QFETCH(int, flags);
    QFETCH(QString, result);

    // No password, token secret, signature or cookie may reach the log.
    QStringList log;
    capturedLog = &log;
    testHandler = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
            capturedLog->append(message);
            keyringFallbackLines += message.contains(QLatin1String("no keyring answered"));
            testHandler(type, context, message);
        });
    const auto restore = qScopeGuard([] { qInstallMessageHandler(testHandler); });
    // Set where a private keyring runs (see CMakeLists.txt); else none answers.
    const bool keyring = qEnvironmentVariableIsSet("ZPV_EXPECT_KEYRING");
    if (setup == InKeyring && !keyring)
        QSKIP("needs a keyring");
    Signature stored;
    stored.oauth_token = earlierToken;
    stored.oauth_token_secret = QStringLiteral("StoredSecret");
    stored.user_id = stored.screen_name = QStringLiteral("12345678");
    if (setup == NoUserId)
        stored.user_id.clear();
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
        QLatin1String(TwitterSettings::organisation), QLatin1String(TwitterSettings::application));
    settings.beginGroup(QStringLiteral("Twitter/OAuth"));
    TwitterSettings::restrictSettingsFile(); // as every version did
    if (setup == InKeyring) {
        stored.screen_name = QStringLiteral("earlier_run");
        QVERIFY(!keyringEntry(stored.screen_name,
            R"({"oauth_token":")" + earlierToken.toUtf8()
                + R"(","oauth_token_secret":"StoredSecret"})")
                     .isEmpty());
    }
    const QString fields[]
        = { stored.oauth_token, stored.oauth_token_secret, stored.user_id, stored.screen_name };
    // What an earlier version (all four) or an earlier run (no token) left in the file.
    for (int i = setup == FileToken ? 0 : setup == InKeyring ? 2 : 4; i < 4; ++i)
        settings.setValue(QLatin1String(fileKeys[i]), fields[i]);
    settings.sync();
    if (setup != FileToken && setup != InKeyring)
        stored.saveCredentials();
    const QString storedName = stored.screen_name;
    m_server->setScripts({ script });
    if (kind >= XAuthorize) {
        IsolatedSettings::set(TwitterSettings::apiFlavorKey, "x");
        IsolatedSettings::set(TwitterSettings::consumerKeyKey, "AppKey-x_1");
        IsolatedSettings::set(TwitterSettings::consumerSecretKey, appSecret);
    }
    if (kind == XLogin)
        m_server->setScripts({ Script::answer(200, requestToken), script });
    Twitter_core client(nullptr, 0);
    QSignalSpy authorized(&client, &Twitter_core::authorizationResult);
    const char *const signals[] = { SIGNAL(loginResult(bool, ulong)),
        SIGNAL(tweetResult(bool, QString, QString, QString, ulong)),
        SIGNAL(isLoggedInResult(bool, ulong)), SIGNAL(authorizationResult(bool, QString, ulong)),
        SIGNAL(getTweetResult(bool, QString, QString, QString, ulong)) };
    QSignalSpy results(&client, signals[std::array { 0, 1, 2, 3, 0, 1, 2, 4 }[kind]]);
    const QString text = setup == EmptyText ? QString() : QStringLiteral("Hello wörld & more");
    const bool sent = kind == Login
        ? client.logIn(QStringLiteral("gallery_user"), QStringLiteral("p@ss w%rd"), 0)
        : kind == Update || kind == XUpdate ? client.doTweet(text, 0)
        : kind == XAuthorize                ? client.startAuthorization(0)
        : kind == XLogin                    ? client.startAuthorization(0) && authorized.wait(10000)
            && client.logIn(QString(), QStringLiteral(" 7654321 "), 0)
        : kind == XFetch ? client.getTweet(QStringLiteral("4711"), 0)
                         : client.isLoggedIn(0);
    QCOMPARE(sent, !result.isNull());
    QCOMPARE(results.count(), 0); // never inside the call
    if (setup == SignOut)
        QVERIFY(client.logOut(0));
    QTRY_COMPARE_WITH_TIMEOUT(results.count(), int(sent), 10000);
    QTest::qWait(100);
    QCOMPARE(results.count(), int(sent));
    if (sent) {
        const QList<QVariant> args = results.first();
        QCOMPARE(args.first().toBool(), ok);
        QCOMPARE(args.last().toULongLong(), ulong(flags));
        QStringList got = { ok ? client.user.name : client.getErrorText() };
        for (const QVariant &arg : args.mid(1, args.size() - 2))
            got.append(arg.toString());
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(result));
        QVERIFY2(pattern.match(got.join(u';')).hasMatch(), qPrintable(got.join(u';')));
    }

    // A new token only from a sign-in that succeeded, none after a sign-out; in a private file.
    const QString expected = (kind == Login || kind == XLogin) && ok
        ? QStringLiteral("87654321-new")
        : setup == SignOut || setup == Dropped ? QString()
                                               : earlierToken;
    stored.loadCredentials();
    QCOMPARE(stored.oauth_token, expected);
    QCOMPARE(client.haveAccessToken(0), !expected.isEmpty());
    QCOMPARE(QFile::permissions(settings.fileName()) & 0x0fff, QFile::ReadUser | QFile::WriteUser);
    // With a keyring the file holds no secret, once its earlier one is replaced;
    // the keyring holds the token under the screen name, none after a sign-out.
    QFile file(settings.fileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const bool inFile = !expected.isEmpty()
        && (!keyring || (setup == FileToken && !((kind == Login || kind == XLogin) && ok)));
    QCOMPARE(file.readAll().contains("Secret"), inFile);
    // The fallback is told once.
    QVERIFY(!keyring || SecretStore::unavailableReason().isEmpty());
    QCOMPARE(keyringFallbackLines, SecretStore::unavailableReason().isEmpty() ? 0 : 1);
    if (keyring && !inFile) {
        const QByteArray entry
            = keyringEntry((kind == Login || kind == XLogin) && ok ? u"u"_qs : storedName);
        QCOMPARE(entry.contains(expected.toUtf8()) && !entry.isEmpty(), !expected.isEmpty());
    }

    // Each request to its own path with its own form.
    const char *lines[] = { "POST /oauth/access_token x_auth_mode=client_auth"
                            "&x_auth_password=p%40ss%20w%25rd&x_auth_username=gallery_user",
        "POST /1/statuses/update.xml status=Hello%20w%C3%B6rld%20%26%20more",
        "GET /1/users/show.xml?user_id=12345678 ", "POST /oauth/request_token ",
        "POST /oauth/access_token ", "POST /2/tweets {\"text\":\"Hello wörld & more\"}",
        "GET /2/users/me?user.fields=profile_image_url ",
        "GET /2/tweets/4711?tweet.fields=author_id " };
    QList<QByteArray> wanted;
    if (kind == XLogin)
        wanted.append(lines[XAuthorize]);
    if (sent && script.kind == Script::Answer)
        wanted.append(lines[kind]);
    QList<QByteArray> got;
    QJsonArray received; // and their signatures, checked by python3-oauthlib
    for (const LoopbackServer::Request &request : m_server->requests()) {
        got.append(request.method + ' ' + request.path + ' ' + request.body);
        const bool exchange = request.path == "/oauth/access_token";
        received.append(QJsonObject { { "method", QString::fromLatin1(request.method) },
            { "url", QString(m_server->url().toString() + QString::fromUtf8(request.path.mid(1))) },
            { "authorization", QString::fromLatin1(request.header("Authorization")) },
            { "content_type", QString::fromLatin1(request.header("Content-Type")) },
            { "body", QString::fromUtf8(request.body) }, { "consumer_secret", appSecret },
            { "token_secret",
                request.path.startsWith("/oauth/request_token") ? QString()
                    : exchange                                  ? QStringLiteral("ReqSecret")
                               : QStringLiteral("StoredSecret") } });
    }
    QCOMPARE(got, wanted);
    if (kind >= XAuthorize && !received.isEmpty()) {
        QProcess python;
        python.start(
            QStringLiteral("/usr/bin/python3"), { QStringLiteral(ORACLE_SCRIPT), "--verify" });
        python.write(QJsonDocument(received).toJson());
        python.closeWriteChannel();
        QVERIFY(python.waitForFinished(30000));
        QCOMPARE(python.readAllStandardOutput(), QByteArray("ok\n").repeated(received.size()));
    }
    for (const char *secret : { "p@ss", "p%40ss", "Secret", "oauth_signature" })
        QVERIFY2(!log.join(u'\n').contains(QLatin1String(secret)), secret);
}

void TestTwitterCore::shortLink_data()
{
    QTest::addColumn<QString>("appId"); // of the badge entry; none when empty, no file when "-"
    QTest::addColumn<QString>("link");
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("shortUrl"); // empty: a failure
    QTest::addColumn<ulong>("flags");

    const QString plain = QStringLiteral("http://127.0.0.1/v/clip");
    const QByteArray shortUrl = "http://127.0.0.1/s/abc";
    auto row = [&](const char *name, const QString &link, const Script &script,
                   const QString &shortUrl) {
        QTest::newRow(name) << uploadAppId << link << script << shortUrl << 0ul;
    };
    // clang-format off
    row("plain", plain, Script::answer(200, shortUrl), shortUrl);
    // The link is the one value of "url": "&", "#" and "+" must neither end nor change it.
    row("&, #, +, space, %, non-ASCII", "http://127.0.0.1/w?v=1&list=2+3 c%20/été#t=30", Script::answer(200, shortUrl), shortUrl);
    row("answer trimmed", plain, Script::answer(200, "  https://127.0.0.1/s/t\r\n"), "https://127.0.0.1/s/t");
    row("empty answer", plain, Script::answer(200, QByteArray()), QString());
    row("not a web link", plain, Script::answer(200, "ftp://127.0.0.1/x"), QString());
    row("two lines", plain, Script::answer(200, "http://127.0.0.1/a\nhttp://evil/b"), QString());
    row("500 with a link", plain, Script::answer(500, shortUrl), QString());
    QTest::newRow("no badge") << QString() << QString() << Script() << QString() << 8ul;
    QTest::newRow("empty link") << uploadAppId << QString() << Script() << QString() << 16ul;
    QTest::newRow("no media file") << "-" << QString() << Script() << QString() << 0ul;
    // clang-format on
}

void TestTwitterCore::shortLink()
{
    QFETCH(QString, appId);
    QFETCH(QString, link);
    QFETCH(Script, script);
    QFETCH(QString, shortUrl);
    QFETCH(ulong, flags);

    const QString path = appId == QLatin1String("-")
        ? m_dir->filePath(QStringLiteral("gone"))
        : mediaFile(QStringLiteral("clip.mp4"), appId, link);
    QVERIFY(!path.isEmpty());
    m_server->setScripts({ script });
    Twitter_core client(nullptr, 0);
    QSignalSpy results(&client, &ITwitter_core::getShortUrlResult);
    const QVariantList expected
        = { !shortUrl.isEmpty(), path, link, shortUrl, QVariant::fromValue(flags) };
    // Nothing to shorten: a failure at once, so that the caller is not left waiting.
    QCOMPARE(client.getShortUrl(path, uploadAppId, 0), !link.isEmpty());
    QCOMPARE(results.size(), int(link.isEmpty()));
    QTRY_COMPARE(results, QList<QVariantList>({ expected }));
    // Asked again: a short link comes from the cache at once, a failure is asked for anew.
    if (!link.isEmpty()) {
        QVERIFY(client.getShortUrl(path, uploadAppId, 0));
        QCOMPARE(results.size(), shortUrl.isEmpty() ? 1 : 2);
        QTRY_COMPARE(results, QList<QVariantList>({ expected, expected }));
    }
    QCOMPARE(m_server->requests().size(),
        (shortUrl.isEmpty() ? 2 : 1) * int(script.kind == Script::Answer && !script.raw.isEmpty()));
    for (const LoopbackServer::Request &request : m_server->requests()) {
        QCOMPARE(request.method + ' ' + request.path.left(16), QByteArray("GET /api-create.php?"));
        QCOMPARE(askedLink(request), link);
        QVERIFY(request.header("Authorization").isEmpty());
    }
}

void TestTwitterCore::shortLinksInFlight()
{
    // The short link names the long one; the answer for ".../one" trickles in.
    m_server->setResponder([](const LoopbackServer::Request &request) {
        const QString link = askedLink(request);
        const Script answer
            = Script::answer(200, "http://127.0.0.1/s/" + link.section(u'/', -1).toUtf8());
        return link.endsWith(QLatin1String("/one")) ? Script::drip(answer.raw, 40, 4) : answer;
    });
    const QString one = QStringLiteral("http://127.0.0.1/v/one");
    const QString two = QStringLiteral("http://127.0.0.1/v/two");
    const QString paths[] = { mediaFile(QStringLiteral("a.mp4"), uploadAppId, one),
        mediaFile(QStringLiteral("b.mp4"), uploadAppId, one),
        mediaFile(QStringLiteral("c.mp4"), uploadAppId, two) };
    Twitter_core client(nullptr, 0);
    QSignalSpy results(&client, &ITwitter_core::getShortUrlResult);
    for (const QString &path : paths)
        QVERIFY(!path.isEmpty() && client.getShortUrl(path, uploadAppId, 0));
    QTRY_COMPARE(results.size(), 3);
    // One request per link; each answer goes to the files that asked for its link.
    QCOMPARE(m_server->requests().size(), 2);
    const QVariant none = QVariant::fromValue(0ul);
    QCOMPARE(results,
        QList<QVariantList>({ { true, paths[2], two, "http://127.0.0.1/s/two", none },
            { true, paths[0], one, "http://127.0.0.1/s/one", none },
            { true, paths[1], one, "http://127.0.0.1/s/one", none } }));
}

QTEST_GUILESS_MAIN(TestTwitterCore)
#include "tst_twittercore.moc"
