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
#include "twitter/httptransport.h"
#include "twitter/signature.h"
#include "twitter/twitter_core.h"
#include "twitterservice.h"

#include <QNetworkReply>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QUrlQuery>

#include <limits>
#include <memory>

using Script = LoopbackServer::Script;
Q_DECLARE_METATYPE(LoopbackServer::Script)

namespace {

enum Server { Plain, Refused, Redirect, Tls, TlsTrusted, TlsJunkCa, TlsTrustedBefore };
enum Kind { Login, Update, Check };
enum Setup { Normal, SignOut, EmptyText, NoUserId };

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
    row("user check", Check, Script::answer(200, "<user>" + user + picture + "</user>"), true, QStringLiteral("Gallery User"));
    row("user answer short of a field", Check, Script::answer(200, "<user>" + user + "</user>"), false, unread);
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
            testHandler(type, context, message);
        });
    const auto restore = qScopeGuard([] { qInstallMessageHandler(testHandler); });
    Signature stored;
    stored.oauth_token = earlierToken;
    stored.oauth_token_secret = QStringLiteral("StoredSecret");
    stored.user_id = stored.screen_name = QStringLiteral("12345678");
    if (setup == NoUserId)
        stored.user_id.clear();
    stored.saveCredentials();
    m_server->setScripts({ script });
    Twitter_core client(nullptr, 0);
    QSignalSpy flagged(
        &client, kind == Login ? &ITwitter_core::loginResult : &ITwitter_core::isLoggedInResult);
    QSignalSpy statuses(&client, &ITwitter_core::tweetResult);
    const bool sent = kind == Login
        ? client.logIn(QStringLiteral("gallery_user"), QStringLiteral("p@ss w%rd"), 0)
        : kind == Update
        ? client.doTweet(setup == EmptyText ? QString() : QStringLiteral("Hello wörld & more"), 0)
        : client.isLoggedIn(0);
    QCOMPARE(sent, !result.isNull());
    QCOMPARE(flagged.count() + statuses.count(), 0); // never inside the call
    if (setup == SignOut)
        QVERIFY(client.logOut(0));
    QTRY_COMPARE_WITH_TIMEOUT(flagged.count() + statuses.count(), int(sent), 10000);
    QTest::qWait(100);
    QCOMPARE(flagged.count() + statuses.count(), int(sent));
    if (sent) {
        const QList<QVariant> args = (statuses.isEmpty() ? flagged : statuses).first();
        QCOMPARE(args.first().toBool(), ok);
        QCOMPARE(args.last().toULongLong(), ulong(flags));
        QStringList got = { ok ? client.user.name : client.getErrorText() };
        for (const QVariant &arg : args.mid(1, args.size() - 2))
            got.append(arg.toString());
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(result));
        QVERIFY2(pattern.match(got.join(u';')).hasMatch(), qPrintable(got.join(u';')));
    }

    // A new token only from a sign-in that succeeded, none after a sign-out; in a private file.
    const QString expected = kind == Login && ok ? QStringLiteral("87654321-new")
        : setup == SignOut                       ? QString()
                                                 : earlierToken;
    stored.loadCredentials();
    QCOMPARE(stored.oauth_token, expected);
    QCOMPARE(client.haveAccessToken(0), !expected.isEmpty());
    const QString file = QSettings(QSettings::NativeFormat, QSettings::UserScope,
        QLatin1String(TwitterSettings::organisation), QLatin1String(TwitterSettings::application))
                             .fileName();
    QCOMPARE(QFile::permissions(file) & 0x0fff, QFile::ReadUser | QFile::WriteUser);

    // Each request to its own path with its own form.
    const char *lines[] = { "POST /oauth/access_token x_auth_mode=client_auth"
                            "&x_auth_password=p%40ss%20w%25rd&x_auth_username=gallery_user",
        "POST /1/statuses/update.xml status=Hello%20w%C3%B6rld%20%26%20more",
        "GET /1/users/show.xml?user_id=12345678 " };
    const QList<LoopbackServer::Request> requests = m_server->requests();
    QCOMPARE(requests.size(), int(sent && script.kind == Script::Answer));
    for (const LoopbackServer::Request &request : requests)
        QCOMPARE(request.method + ' ' + request.path + ' ' + request.body, QByteArray(lines[kind]));
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
