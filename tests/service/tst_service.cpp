// The service run inside the test process, driven over loopback HTTP.
#include "serviceclient.h"
#include "twitterservice.h"

#include <QDir>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

#include <memory>

class TestService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void signIn_data();
    void signIn();
    void refusals_data();
    void refusals();
    void replayedNonce();
    void showUser();
    void queryMustBeSigned();
    void tweetAndFetch();
    void statusRules_data();
    void statusRules();
    void unknownStatus_data();
    void unknownStatus();
    void badInput_data();
    void badInput();
    void pagesEscapeStatuses();
    void shortener_data();
    void shortener();
    void shortLinkRoundTrip();
    void uploadRoundTrip_data();
    void uploadRoundTrip();
    void uploadRefusals_data();
    void uploadRefusals();
    void silentConnectionsClosed();

private:
    Reply tweet(const QString &text)
    {
        return m_client->post(UpdatePath, { { QStringLiteral("status"), text } }, m_alice);
    }

    const QString UpdatePath = QStringLiteral("/1/statuses/update.xml");
    bool spoolFilesLeft() const
    {
        return !QDir(m_service->dataDir() + QStringLiteral("/uploads"))
                    .entryList({ QStringLiteral(".upload-*") }, QDir::Files | QDir::Hidden)
                    .isEmpty();
    }

    std::unique_ptr<TwitterService> m_service;
    std::unique_ptr<ServiceClient> m_client;
    Credentials m_alice;
};

void TestService::initTestCase()
{
    ServiceOptions options;
    QString error;
    QVERIFY(options.parse(
        { QStringLiteral("zpv-twitterd"), QStringLiteral("--user"),
            QStringLiteral("alice:correct horse"), QStringLiteral("--user"),
            QStringLiteral("carol:p@ss w%rd&=+\u00fc:x"), QStringLiteral("--consumer"),
            QStringLiteral("SecondKey:Second%Secret&") },
        &error));
    options.consumers.prepend(ServiceOptions::defaultConsumer());
    m_service = std::make_unique<TwitterService>(options);
    QVERIFY2(m_service->start(&error), qPrintable(error));
    QCOMPARE(m_service->baseUrl().host(), QStringLiteral("127.0.0.1"));
    m_client = std::make_unique<ServiceClient>(m_service->baseUrl());
    m_alice = m_client->signIn(QStringLiteral("alice"), QStringLiteral("correct horse"));
    QVERIFY(!m_alice.token.isEmpty());
}

void TestService::signIn_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("consumerKey");
    QTest::addColumn<QString>("consumerSecret");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    // Password hashes computed: an unknown name costs what a wrong password does.
    QTest::addColumn<int>("hashes");
    const QString key = Credentials().consumerKey;
    const QString secret = Credentials().consumerSecret;
    QTest::newRow("good") << "alice"
                          << "correct horse" << key << secret << 200 << QString() << 1;
    QTest::newRow("password that needs encoding")
        << "carol"
        << "p@ss w%rd&=+\u00fc:x" << key << secret << 200 << QString() << 1;
    QTest::newRow("second consumer, secret that needs encoding")
        << "alice"
        << "correct horse"
        << "SecondKey"
        << "Second%Secret&" << 200 << QString() << 1;
    QTest::newRow("wrong password")
        << "alice"
        << "Correct horse" << key << secret << 401 << "Invalid user name or password" << 1;
    QTest::newRow("unknown user") << "mallory"
                                  << "correct horse" << key << secret << 401
                                  << "Invalid user name or password" << 1;
    QTest::newRow("unknown consumer key")
        << "alice"
        << "correct horse"
        << "Xq7LmN2pRt5VwY8zKc3He" << secret << 401 << "Invalid consumer key" << 0;
    QTest::newRow("wrong consumer secret")
        << "alice"
        << "correct horse" << key << "x" + secret << 401 << "Invalid signature" << 0;
}

void TestService::signIn()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, consumerKey);
    QFETCH(QString, consumerSecret);
    QFETCH(int, status);
    QFETCH(QString, error);
    QFETCH(int, hashes);
    Credentials credentials;
    credentials.consumerKey = consumerKey;
    credentials.consumerSecret = consumerSecret;
    const qint64 hashedBefore = ServiceStore::passwordDerivations();
    const Reply reply = m_client->post(QStringLiteral("/oauth/access_token"),
        { { QStringLiteral("x_auth_mode"), QStringLiteral("client_auth") },
            { QStringLiteral("x_auth_password"), password },
            { QStringLiteral("x_auth_username"), user } },
        credentials);
    QCOMPARE(reply.status, status);
    QCOMPARE(ServiceStore::passwordDerivations() - hashedBefore, qint64(hashes));
    if (status != 200) {
        QCOMPARE(reply.xmlError(), error);
        return;
    }
    QCOMPARE(reply.contentType, QByteArray("application/x-www-form-urlencoded"));
    // The plug-in reads the fields by position.
    QVERIFY2(
        QRegularExpression(QStringLiteral("^oauth_token=[0-9]{8}-[A-Za-z0-9]{41}&oauth_token_"
                                          "secret=[A-Za-z0-9]{42}&user_id=[0-9]+&screen_name="))
            .match(QString::fromUtf8(reply.body))
            .hasMatch(),
        reply.body.constData());
    QCOMPARE(reply.formField(QStringLiteral("screen_name")), user);
}

void TestService::refusals_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    QTest::newRow("as signed") << "none" << 200 << QString();
    QTest::newRow("timestamp 299 s old") << "-299" << 200 << QString();
    QTest::newRow("timestamp 301 s old") << "-301" << 401 << "Timestamp out of bounds";
    QTest::newRow("timestamp 301 s ahead") << "+301" << 401 << "Timestamp out of bounds";
    QTest::newRow("bad signature") << "tamper" << 401 << "Invalid signature";
    QTest::newRow("wrong token secret") << "secret" << 401 << "Invalid signature";
    QTest::newRow("unknown token") << "token" << 401 << "Invalid or expired token";
    QTest::newRow("no token") << "notoken" << 401 << "Missing oauth_token";
    QTest::newRow("missing Authorization") << "noauth" << 401 << "Authorization required";
    QTest::newRow("not an OAuth header") << "basic" << 401 << "Invalid OAuth Authorization header";
    QTest::newRow("malformed percent in header")
        << "percent" << 401 << "Invalid OAuth Authorization header";
    QTest::newRow("64-character nonce") << "nonce64" << 200 << QString();
    QTest::newRow("65-character nonce") << "nonce65" << 401 << "Nonce is too long";
}

void TestService::refusals()
{
    QFETCH(QString, change);
    QFETCH(int, status);
    QFETCH(QString, error);
    Credentials credentials = m_alice;
    if (change.startsWith(QLatin1Char('-')) || change.startsWith(QLatin1Char('+')))
        credentials.timestampOffset = change.toLongLong();
    else if (change == QLatin1String("secret"))
        credentials.tokenSecret += QLatin1Char('x');
    else if (change == QLatin1String("token"))
        credentials.token.replace(0, 8, QStringLiteral("00000000"));
    else if (change == QLatin1String("notoken"))
        credentials.token.clear();
    else if (change.startsWith(QLatin1String("nonce")))
        credentials.nonce = QString(change.mid(5).toInt(), QLatin1Char('n'));
    const Params query { { QStringLiteral("user_id"), QStringLiteral("1") } };
    const QUrl url = m_client->url(QStringLiteral("/1/users/show.xml"), query);
    QByteArray header = ServiceClient::authorization("GET", url, query, credentials);
    if (change == QLatin1String("tamper"))
        header.replace("oauth_signature=\"", "oauth_signature=\"A");
    else if (change == QLatin1String("noauth"))
        header.clear();
    else if (change == QLatin1String("basic"))
        header = "Basic YWxpY2U6Y29ycmVjdCBob3JzZQ==";
    else if (change == QLatin1String("percent"))
        header.replace("oauth_signature=\"", "oauth_signature=\"%G");
    const Reply reply = m_client->send("GET", url, { { "Authorization", header } });
    QCOMPARE(reply.status, status);
    if (status != 200)
        QCOMPARE(reply.xmlError(), error);
}

void TestService::replayedNonce()
{
    const Params query { { QStringLiteral("user_id"), QStringLiteral("1") } };
    const QUrl url = m_client->url(QStringLiteral("/1/users/show.xml"), query);
    const QByteArray header = ServiceClient::authorization("GET", url, query, m_alice);
    QCOMPARE(m_client->send("GET", url, { { "Authorization", header } }).status, 200);
    const Reply replay = m_client->send("GET", url, { { "Authorization", header } });
    QCOMPARE(replay.status, 401);
    QCOMPARE(replay.xmlError(), QStringLiteral("Nonce has already been used"));
}

void TestService::showUser()
{
    const QString id
        = m_client
              ->post(QStringLiteral("/oauth/access_token"),
                  { { QStringLiteral("x_auth_mode"), QStringLiteral("client_auth") },
                      { QStringLiteral("x_auth_password"), QStringLiteral("correct horse") },
                      { QStringLiteral("x_auth_username"), QStringLiteral("alice") } },
                  Credentials())
              .formField(QStringLiteral("user_id"));
    const Reply reply = m_client->get(
        QStringLiteral("/1/users/show.xml"), { { QStringLiteral("user_id"), id } }, m_alice);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.xmlChild(QStringLiteral("id")), id);
    QCOMPARE(reply.xmlChild(QStringLiteral("screen_name")), QStringLiteral("alice"));
    QCOMPARE(reply.xmlChild(QStringLiteral("name")), QStringLiteral("alice"));
    const QUrl image(reply.xmlChild(QStringLiteral("profile_image_url")));
    QCOMPARE(image.authority(), m_service->baseUrl().authority());
    const Reply picture = m_client->send("GET", image, {});
    QCOMPARE(picture.status, 200);
    QCOMPARE(picture.contentType, QByteArray("image/png"));
    QVERIFY(picture.body.startsWith("\x89PNG"));
    QCOMPARE(m_client
                 ->get(QStringLiteral("/1/users/show.xml"),
                     { { QStringLiteral("user_id"), QStringLiteral("987654") } }, m_alice)
                 .status,
        404);
}

void TestService::queryMustBeSigned()
{
    // Signed without its query parameter: a changed query must not pass.
    const QUrl url = m_client->url(QStringLiteral("/1/users/show.xml"),
        { { QStringLiteral("user_id"), QStringLiteral("1") } });
    const QByteArray header = ServiceClient::authorization("GET", url, {}, m_alice);
    const Reply reply = m_client->send("GET", url, { { "Authorization", header } });
    QCOMPARE(reply.status, 401);
    QCOMPARE(reply.xmlError(), QStringLiteral("Invalid signature"));
}

void TestService::tweetAndFetch()
{
    const QString text = QStringLiteral("Caf\u00e9 & <friends> 100% \U0001F600 a+b");
    const Reply posted = tweet(text);
    QCOMPARE(posted.status, 200);
    QCOMPARE(posted.xmlChild(QStringLiteral("text")), text);
    QCOMPARE(posted.xmlChild(QStringLiteral("user/screen_name")), QStringLiteral("alice"));
    QVERIFY(!posted.xmlChild(QStringLiteral("user/profile_image_url")).isEmpty());
    const QDateTime parsed = QLocale::c().toDateTime(posted.xmlChild(QStringLiteral("created_at")),
        QStringLiteral("ddd MMM dd HH:mm:ss +0000 yyyy"));
    QVERIFY(parsed.isValid());
    const QDateTime created(parsed.date(), parsed.time(), Qt::UTC);
    QVERIFY(qAbs(created.secsTo(QDateTime::currentDateTimeUtc())) < 120);
    const QString id = posted.xmlChild(QStringLiteral("id"));
    QVERIFY(id.toLongLong() > 0);

    const Reply fetched
        = m_client->get(QStringLiteral("/1/statuses/show/%1.xml").arg(id), {}, m_alice);
    QCOMPARE(fetched.status, 200);
    QCOMPARE(fetched.xmlChild(QStringLiteral("text")), text);
    QCOMPARE(
        fetched.xmlChild(QStringLiteral("user/id")), posted.xmlChild(QStringLiteral("user/id")));

    const Reply again = tweet(text);
    QCOMPARE(again.status, 403);
    QCOMPARE(again.xmlError(), QStringLiteral("Status is a duplicate."));
}

void TestService::statusRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");
    const QString link = QStringLiteral("https://example.com/") + QString(80, QLatin1Char('p'));
    const QString emoji = QStringLiteral("\U0001F600");
    QTest::newRow("empty") << QString() << 403 << "Status is empty.";
    QTest::newRow("blanks only") << "  \n " << 403 << "Status is empty.";
    QTest::newRow("280 letters") << QString(280, QLatin1Char('a')) << 200 << QString();
    QTest::newRow("281 letters") << QString(281, QLatin1Char('b')) << 403
                                 << "Status is over 280 characters.";
    QTest::newRow("280 astral characters") << emoji.repeated(280) << 200 << QString();
    QTest::newRow("281 astral characters")
        << emoji.repeated(281) << 403 << "Status is over 280 characters.";
    QTest::newRow("long link counts 23")
        << QString(256, QLatin1Char('c')) + QLatin1Char(' ') + link << 200 << QString();
    QTest::newRow("long link, one over") << QString(257, QLatin1Char('d')) + QLatin1Char(' ') + link
                                         << 403 << "Status is over 280 characters.";
    QTest::newRow("control character")
        << QStringLiteral("bell\u0007") << 400 << "Status holds characters that are not allowed.";
    QTest::newRow("NUL, correctly signed") << QStringLiteral("nul") + QChar(0)
            + QStringLiteral("x") << 400 << "Status holds characters that are not allowed.";
    // A link counts 23 whatever its length.
    QTest::newRow("link past the byte cap")
        << QStringLiteral("https://example.com/") + QString(4100, QLatin1Char('p')) << 403
        << "Status is too long.";
}

void TestService::statusRules()
{
    QFETCH(QString, text);
    QFETCH(int, status);
    QFETCH(QString, error);
    const Reply reply = tweet(text);
    QCOMPARE(reply.status, status);
    if (status == 200)
        QCOMPARE(reply.xmlChild(QStringLiteral("text")), text);
    else
        QCOMPARE(reply.xmlError(), error);
}

void TestService::unknownStatus_data()
{
    QTest::addColumn<QString>("id");
    QTest::newRow("unused number") << "9876543210";
    QTest::newRow("not a number") << "abc";
    QTest::newRow("too long a number") << "99999999999999999999999";
}

void TestService::unknownStatus()
{
    QFETCH(QString, id);
    const Reply reply
        = m_client->get(QStringLiteral("/1/statuses/show/%1.xml").arg(id), {}, m_alice);
    QCOMPARE(reply.status, 404);
    QCOMPARE(reply.xmlError(), QStringLiteral("No status found with that ID."));
}

void TestService::badInput_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("target");
    // Header lines saying how long the body is; empty: its Content-Length.
    QTest::addColumn<QByteArray>("framing");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    // Empty: the HTTP library answers (or hangs up) itself.
    QTest::addColumn<QString>("error");
    const QByteArray none;
    const QByteArray big(5 * 1024 * 1024, 'x');
    QTest::newRow("malformed percent in body")
        << QByteArray("POST") << UpdatePath << none << QByteArray("status=%ZZ") << 400
        << "Malformed form body";
    QTest::newRow("truncated percent in body")
        << QByteArray("POST") << UpdatePath << none << QByteArray("status=ab%4") << 400
        << "Malformed form body";
    QTest::newRow("non-UTF-8 status")
        << QByteArray("POST") << UpdatePath << none << QByteArray("status=%FF%FEab") << 400
        << "Status is not valid UTF-8.";
    QTest::newRow("malformed percent in query")
        << QByteArray("GET") << "/1/users/show.xml?user_id=%G1" << none << none << 400
        << "Malformed query string";
    QTest::newRow("missing user_id")
        << QByteArray("GET") << "/1/users/show.xml" << none << none << 400 << "Missing user_id";
    QTest::newRow("body over the limit") << QByteArray("POST") << UpdatePath << none
                                         << "status=" + big << 413 << "Request body too large";
    // Answered from the head: nothing waits for a body that never comes.
    QTest::newRow("declared body over the limit")
        << QByteArray("POST") << UpdatePath << QByteArray("Content-Length: 524288000") << none
        << 413 << "Request body too large";
    QTest::newRow("declared upload over the limit")
        << QByteArray("POST") << "/upload" << QByteArray("Content-Length: 2147483649") << none
        << 413 << "Request body too large";
    QTest::newRow("chunked body over the limit")
        << QByteArray("POST") << UpdatePath << QByteArray("Transfer-Encoding: chunked")
        << QByteArray::number(big.size(), 16) + "\r\n" + big + "\r\n0\r\n\r\n"
        << 0 << QString();
    QTest::newRow("two lengths") << QByteArray("POST") << UpdatePath
                                 << QByteArray("Content-Length: 6\r\nContent-Length: 8")
                                 << QByteArray("status=x") << 400 << "Malformed request framing";
    QTest::newRow("length and chunked")
        << QByteArray("POST") << UpdatePath
        << QByteArray("Content-Length: 5\r\nTransfer-Encoding: chunked") << QByteArray("0\r\n\r\n")
        << 400 << "Malformed request framing";
    QTest::newRow("negative length")
        << QByteArray("POST") << UpdatePath << QByteArray("Content-Length: -1") << none << 400
        << QString();
    QTest::newRow("head too large")
        << QByteArray("GET") << "/signup"
        << "X-Padding: " + QByteArray(64 * 1024, 'z') << none << 431 << QString();
    QTest::newRow("unknown path") << QByteArray("GET") << "/1/nothing.xml" << none << none << 404
                                  << "Not found";
    QTest::newRow("wrong method") << QByteArray("GET") << UpdatePath << none << none << 405
                                  << "This method requires a different HTTP method.";
}

void TestService::badInput()
{
    QFETCH(QByteArray, method);
    QFETCH(QString, target);
    QFETCH(QByteArray, framing);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, error);
    if (framing.isEmpty())
        framing = "Content-Length: " + QByteArray::number(body.size());
    // Raw bytes on the wire: Qt's URL class would repair a malformed query.
    const QUrl url = m_client->url(target.section(QLatin1Char('?'), 0, 0));
    const Reply reply = m_client->sendRaw(method + ' ' + target.toLatin1() + " HTTP/1.1\r\nHost: "
        + url.authority().toLatin1() + "\r\nContent-Type: application/x-www-form-urlencoded"
        + "\r\nAuthorization: " + ServiceClient::authorization(method, url, {}, m_alice) + "\r\n"
        + framing + "\r\nConnection: close\r\n\r\n" + body);
    QCOMPARE(reply.status, status);
    if (error.isEmpty())
        return;
    QVERIFY(reply.contentType.startsWith("application/xml"));
    QCOMPARE(reply.xmlError(), error);
}

void TestService::pagesEscapeStatuses()
{
    const QString text = QStringLiteral("<script>alert('x')</script> \"q\" & %1");
    QCOMPARE(tweet(text).status, 200);
    for (const QString &path : { QStringLiteral("/"), QStringLiteral("/home") }) {
        const Reply page = m_client->send("GET", m_client->url(path), {});
        QCOMPARE(page.status, 200);
        QVERIFY(page.contentType.startsWith("text/html"));
        QVERIFY(!page.body.contains("<script>"));
        QVERIFY2(
            page.body.contains("&lt;script&gt;alert('x')&lt;/script&gt; &quot;q&quot; &amp; %1"),
            page.body.constData());
        QVERIFY(page.body.contains("alice"));
    }
    const Reply signup = m_client->send("GET", m_client->url(QStringLiteral("/signup")), {});
    QCOMPARE(signup.status, 200);
    QVERIFY(signup.body.contains("--user"));
}

void TestService::shortener_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("status");
    QTest::newRow("http link") << "url=http%3A%2F%2Fexample.com%2Fwatch%3Fv%3D1%26t%3D2" << 200;
    QTest::newRow("https link unencoded") << "url=https://example.org/v/abc" << 200;
    QTest::newRow("missing url") << "" << 400;
    QTest::newRow("empty url") << "url=" << 400;
    QTest::newRow("ftp link") << "url=ftp%3A%2F%2Fexample.com%2Ff" << 400;
    QTest::newRow("relative link") << "url=%2Fwatch%3Fv%3D1" << 400;
    QTest::newRow("no host") << "url=http%3A%2F%2F" << 400;
    QTest::newRow("script link") << "url=javascript%3Aalert(1)" << 400;
    QTest::newRow("not UTF-8") << "url=http%3A%2F%2Fexample.com%2F%FF" << 400;
}

void TestService::shortener()
{
    QFETCH(QString, query);
    QFETCH(int, status);
    QUrl url = m_client->url(QStringLiteral("/api-create.php"));
    url.setQuery(query, QUrl::StrictMode);
    const Reply reply = m_client->send("GET", url, {});
    QCOMPARE(reply.status, status);
    if (status == 200) {
        QVERIFY(reply.contentType.startsWith("text/plain"));
        QVERIFY(reply.body.startsWith(QByteArray(m_service->baseUrl().toEncoded() + "/s/")));
    } else {
        QVERIFY(!reply.xmlError().isEmpty());
    }
}

void TestService::shortLinkRoundTrip()
{
    const QString longLink = QStringLiteral("http://example.com/watch?v=1&t=%C3%A9#x");
    const QUrl create
        = m_client->url(QStringLiteral("/api-create.php"), { { QStringLiteral("url"), longLink } });
    const Reply first = m_client->send("GET", create, {});
    QCOMPARE(first.status, 200);
    QCOMPARE(m_client->send("GET", create, {}).body, first.body);
    const QUrl other = m_client->url(QStringLiteral("/api-create.php"),
        { { QStringLiteral("url"), longLink + QLatin1Char('2') } });
    QVERIFY(m_client->send("GET", other, {}).body != first.body);

    const Reply redirect = m_client->send("GET", QUrl(QString::fromUtf8(first.body)), {});
    QCOMPARE(redirect.status, 301);
    QCOMPARE(QUrl::fromEncoded(redirect.location), QUrl(longLink));
    QCOMPARE(m_client->send("GET", m_client->url(QStringLiteral("/s/zzzzzzz")), {}).status, 404);
}

void TestService::uploadRoundTrip_data()
{
    QTest::addColumn<QByteArray>("fileName");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("served");
    QTest::newRow("type from the name")
        << QByteArray("holiday%20clip.mp4") << QByteArray("application/octet-stream")
        << QByteArray("video/mp4");
    QTest::newRow("declared type, never echoed")
        << QByteArray("clip.mov") << QByteArray("video/x-anything")
        << QByteArray("video/quicktime");
    QTest::newRow("page name, declared video")
        << QByteArray("page.html") << QByteArray("video/webm") << QByteArray("video/webm");
}

void TestService::uploadRoundTrip()
{
    QFETCH(QByteArray, fileName);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, served);
    QByteArray video(300 * 1024, '\0');
    for (qsizetype i = 0; i < video.size(); ++i)
        video[i] = char((i * 7919) >> 3);
    const QUrl url = m_client->url(QStringLiteral("/upload"));
    const Reply reply = m_client->send("POST", url,
        { { "Authorization", ServiceClient::authorization("POST", url, {}, m_alice) },
            { "Content-Type", contentType }, { "X-File-Name", fileName } },
        video);
    QCOMPARE(reply.status, 200);
    const QUrl watch(QString::fromUtf8(reply.body));
    QCOMPARE(watch.authority(), m_service->baseUrl().authority());
    QVERIFY(watch.path().startsWith(QLatin1String("/v/")));
    const Reply download = m_client->send("GET", watch, {});
    QCOMPARE(download.status, 200);
    QCOMPARE(download.contentType, served);
    QCOMPARE(download.headers.value("x-content-type-options"), QByteArray("nosniff"));
    QVERIFY(download.headers.value("content-disposition").startsWith("attachment"));
    QCOMPARE(download.body.size(), video.size());
    QVERIFY(download.body == video);
    // Nothing for group or others: uploads may be private videos.
    const QString stored = m_service->dataDir() + QStringLiteral("/uploads") + watch.path().mid(2);
    QCOMPARE(int(QFile::permissions(stored)) & 0x77, 0);
    QVERIFY(!spoolFilesLeft());
}

void TestService::uploadRefusals_data()
{
    QTest::addColumn<bool>("signedRequest");
    QTest::addColumn<QByteArray>("fileName");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    const QByteArray mp4("video/mp4");
    QTest::newRow("unsigned") << false << QByteArray("a.mp4") << mp4 << QByteArray("data") << 401;
    QTest::newRow("no file name") << true << QByteArray() << mp4 << QByteArray("data") << 400;
    QTest::newRow("only a folder") << true << QByteArray("../") << mp4 << QByteArray("data") << 400;
    QTest::newRow("empty body") << true << QByteArray("a.mp4") << mp4 << QByteArray() << 400;
    QTest::newRow("a page") << true << QByteArray("a.html") << QByteArray("text/html")
                            << QByteArray("<script>") << 415;
    QTest::newRow("an image that runs scripts")
        << true << QByteArray("a.svg") << QByteArray("image/svg+xml") << QByteArray("<svg/>")
        << 415;
}

void TestService::uploadRefusals()
{
    QFETCH(bool, signedRequest);
    QFETCH(QByteArray, fileName);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    const QUrl url = m_client->url(QStringLiteral("/upload"));
    QList<QPair<QByteArray, QByteArray>> headers { { "Content-Type", contentType } };
    if (signedRequest)
        headers.append({ "Authorization", ServiceClient::authorization("POST", url, {}, m_alice) });
    if (!fileName.isEmpty())
        headers.append({ "X-File-Name", fileName });
    const Reply reply = m_client->send("POST", url, headers, body);
    QCOMPARE(reply.status, status);
    QVERIFY(!reply.xmlError().isEmpty());
    QVERIFY(!spoolFilesLeft());
}

void TestService::silentConnectionsClosed()
{
    ServiceOptions options;
    options.idleTimeout = 1;
    options.maxConnections = 3;
    TwitterService service(options);
    QString error;
    QVERIFY2(service.start(&error), qPrintable(error));
    ServiceClient client(service.baseUrl());
    // Silent, half a head, half a body: each holds a place until it times out.
    QTcpSocket silent[3];
    for (QTcpSocket &socket : silent) {
        socket.connectToHost(service.baseUrl().host(), quint16(service.baseUrl().port()));
        QVERIFY(socket.waitForConnected(5000));
    }
    silent[1].write("GET /signup HTTP/1.1\r\nHost: x\r\n");
    silent[2].write("POST /1/statuses/update.xml HTTP/1.1\r\nContent-Length: 9\r\n\r\nstat");
    // Served once they are gone, not before, and not never.
    QCOMPARE(client.sendRaw("GET /signup HTTP/1.1\r\nConnection: close\r\n\r\n").status, 200);
    for (QTcpSocket &socket : silent)
        QTRY_COMPARE_WITH_TIMEOUT(socket.state(), QAbstractSocket::UnconnectedState, 500);
}

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
