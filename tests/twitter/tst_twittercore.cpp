// The Twitter client against scripted loopback servers: every way a reply
// can go wrong ends in exactly one result signal with the right flags.
#include "common/isolatedsettings.h"
#include "common/loopbackserver.h"
#include "common/testcertificates.h"
#include "twitter/signature.h"
#include "twitter/twitter_core.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

namespace {

using Script = LoopbackServer::Script;

const QByteArray goodLoginReply
    = "oauth_token=12345678-AbCdEfGhIjKlMnOpQrStUvWxYz0123456789abcdefg"
      "&oauth_token_secret=SecretSecretSecretSecretSecretSecretSecre&user_id=12345678"
      "&screen_name=gallery_user";

const QByteArray statusXml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<status>"
                             "<id>4711</id><text>Hello world</text>"
                             "<user><id>12345678</id><name>Gallery User</name>"
                             "<screen_name>gallery_user</screen_name>%1</user></status>";

QByteArray status(const QByteArray &profileImage
    = "<profile_image_url>http://127.0.0.1/p.png</profile_image_url>")
{
    QByteArray xml = statusXml;
    return xml.replace("%1", profileImage);
}

QByteArray xmlError(const QByteArray &text)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<hash><request>/x</request><error>" + text
        + "</error></hash>";
}

void storeToken()
{
    Signature stored;
    stored.oauth_token = QStringLiteral("12345678-AbCdEfGhIjKlMnOpQrStUvWxYz0123456789abcdefg");
    stored.oauth_token_secret = QStringLiteral("SecretSecretSecretSecretSecretSecretSecre");
    stored.user_id = QStringLiteral("12345678");
    stored.screen_name = QStringLiteral("gallery_user");
    stored.saveCredentials();
}

QString storedToken()
{
    Signature stored;
    stored.loadCredentials();
    return stored.oauth_token;
}

// Reaches the error text of earlier replies.
class Client : public Twitter_core
{
public:
    Client()
        : Twitter_core(nullptr, 0)
    { }
    using Twitter_core::doTweetOld;
};

} // namespace

class TestTwitterCore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void loginOutcome_data();
    void loginOutcome();
    void loginFailsWithoutAnswer_data();
    void loginFailsWithoutAnswer();
    void untrustedCertificateIsNoAnswer();
    void partialTokenIsNotStored();
    void errorTextsAreFresh_data();
    void errorTextsAreFresh();
    void credentialsFileIsPrivate();
    void requestsNeedToken_data();
    void requestsNeedToken();
    void emptyTweetIsNotSent();
    void tweetOutcome_data();
    void tweetOutcome();
    void getTweetOutcome_data();
    void getTweetOutcome();
    void userCheckIsSignedGet();
    void destructorKeepsTokenOnlyWhenSaved_data();
    void destructorKeepsTokenOnlyWhenSaved();
    void logOutForgetsEverything();
    void selfTestsPass();

private:
    void pointAt(const QUrl &url);

    IsolatedSettings *m_settings = nullptr;
    LoopbackServer *m_server = nullptr;
};

void TestTwitterCore::init()
{
    m_settings = new IsolatedSettings;
    QVERIFY(m_settings->isValid());
    m_server = new LoopbackServer;
    QVERIFY(m_server->listen());
    pointAt(m_server->url());
    IsolatedSettings::set(TwitterSettings::timeoutKey, 400);
}

void TestTwitterCore::cleanup()
{
    delete m_server;
    m_server = nullptr;
    delete m_settings;
    m_settings = nullptr;
}

void TestTwitterCore::pointAt(const QUrl &url)
{
    IsolatedSettings::set(TwitterSettings::apiUrlKey, url.toString(QUrl::RemovePath));
}

void TestTwitterCore::loginOutcome_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<bool>("status");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("errorText");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("signOut"); // right after the request went out

    QTest::newRow("token") << Script::answer(200, goodLoginReply) << true << 0 << QString() << true
                           << false;
    QTest::newRow("wrong password")
        << Script::answer(401, xmlError("Invalid user name or password")) << false << 1
        << QStringLiteral("Invalid user name or password") << false << false;
    QTest::newRow("plain text refusal") << Script::answer(403, "Rate limit exceeded") << false << 0
                                        << QStringLiteral("Rate limit exceeded") << false << false;
    QTest::newRow("server error with xml")
        << Script::answer(500, xmlError("Over capacity")) << false << 0
        << QStringLiteral("Over capacity") << false << false;
    // The sign-out wins: the late token is not stored again.
    QTest::newRow("signed out before the answer")
        << Script::answer(200, goodLoginReply) << false << 0
        << QStringLiteral("Signed out before the service answered.") << false << true;
}

void TestTwitterCore::loginOutcome()
{
    QFETCH(Script, script);
    QFETCH(bool, status);
    QFETCH(int, flags);
    QFETCH(QString, errorText);
    QFETCH(bool, stored);
    QFETCH(bool, signOut);

    m_server->setScripts({ script });
    Client client;
    QSignalSpy spy(&client, &ITwitter_core::loginResult);
    QVERIFY(client.logIn(QStringLiteral("gallery_user"), QStringLiteral("p@ss w%rd"), 0));
    QCOMPARE(spy.count(), 0); // never inside the call
    if (signOut)
        QVERIFY(client.logOut(0));
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), status);
    QCOMPARE(spy.at(0).at(1).toULongLong(), qulonglong(flags));
    if (!errorText.isEmpty())
        QCOMPARE(client.getErrorText(), errorText);
    QCOMPARE(storedToken().isEmpty(), !stored);
    QCOMPARE(client.haveAccessToken(0), stored);

    // The request went out as a form post with the credentials in the body.
    const auto requests = m_server->requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].method, QByteArray("POST"));
    QCOMPARE(requests[0].path, QByteArray("/oauth/access_token"));
    QCOMPARE(requests[0].header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(requests[0].body,
        QByteArray("x_auth_mode=client_auth&x_auth_password=p%40ss%20w%25rd"
                   "&x_auth_username=gallery_user"));
    QVERIFY(requests[0].header("Authorization").startsWith("OAuth oauth_nonce=\""));

    QTest::qWait(100);
    QCOMPARE(spy.count(), 1);
}

void TestTwitterCore::loginFailsWithoutAnswer_data()
{
    QTest::addColumn<QList<Script>>("scripts");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("reason");

    QTest::newRow("refused") << QList<Script>() << true << QStringLiteral("refused");
    QTest::newRow("never answers")
        << QList<Script> { Script::silent() } << false << QStringLiteral("timed out");
    QTest::newRow("drips") << QList<Script> {
        Script::drip("HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\n" + QByteArray(900, 'x'), 150)
    } << false << QStringLiteral("timed out");
    QTest::newRow("cut short") << QList<Script> { Script::cutShort(200, "oauth_token=1234", 400) }
                               << false << QString();
    QTest::newRow("over the cap") << QList<Script> { Script::large(3 * 1024 * 1024, true) } << false
                                  << QStringLiteral("1 MiB");
    QTest::newRow("redirect") << QList<Script> {
        Script::redirect(QUrl(QStringLiteral("http://127.0.0.1:9/x")))
    } << false << QString();
}

void TestTwitterCore::loginFailsWithoutAnswer()
{
    QFETCH(QList<Script>, scripts);
    QFETCH(bool, refused);
    QFETCH(QString, reason);

    if (refused) {
        QUrl url = m_server->url();
        url.setPort(LoopbackServer::unusedPort());
        pointAt(url);
    } else {
        m_server->setScripts(scripts);
    }
    storeToken();
    Client client;
    QSignalSpy spy(&client, &ITwitter_core::loginResult);
    QVERIFY(client.logIn(QStringLiteral("gallery_user"), QStringLiteral("secret"), 0));
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 5000);
    QCOMPARE(spy.at(0).at(0).toBool(), false);
    QCOMPARE(spy.at(0).at(1).toULongLong(), 2ull);
    // The user is told the network's reason, not an earlier unrelated text.
    QVERIFY(!client.getErrorText().isEmpty());
    if (!reason.isEmpty())
        QVERIFY2(client.getErrorText().contains(reason, Qt::CaseInsensitive),
            qPrintable(client.getErrorText()));
    // An earlier sign-in stays as it was.
    QCOMPARE(storedToken(), QStringLiteral("12345678-AbCdEfGhIjKlMnOpQrStUvWxYz0123456789abcdefg"));
    QTest::qWait(200);
    QCOMPARE(spy.count(), 1);
}

void TestTwitterCore::untrustedCertificateIsNoAnswer()
{
    TestCertificates certificates;
    QVERIFY2(certificates.create(), qPrintable(certificates.error()));
    LoopbackServer tls;
    QVERIFY(tls.listenTls(certificates.serverCertificate(), certificates.serverKey()));
    tls.setScripts({ Script::answer(200, goodLoginReply) });
    pointAt(tls.url());

    {
        Client client;
        QSignalSpy spy(&client, &ITwitter_core::loginResult);
        QVERIFY(client.logIn(QStringLiteral("gallery_user"), QStringLiteral("secret"), 0));
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(1).toULongLong(), 2ull);
        QVERIFY2(client.getErrorText().contains(QLatin1String("certificate"), Qt::CaseInsensitive),
            qPrintable(client.getErrorText()));
        QVERIFY(!client.haveAccessToken(0));
    }

    // Trusting the test CA makes the same server acceptable.
    IsolatedSettings::set(TwitterSettings::caCertificatesKey, certificates.caFile());
    Client client;
    QSignalSpy spy(&client, &ITwitter_core::loginResult);
    QVERIFY(client.logIn(QStringLiteral("gallery_user"), QStringLiteral("secret"), 0));
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    QVERIFY(client.haveAccessToken(0));
}

void TestTwitterCore::partialTokenIsNotStored()
{
    storeToken();
    m_server->setScripts({ Script::answer(200, "oauth_token=abc&oauth_token_secret=def") });
    Client client;
    QSignalSpy spy(&client, &ITwitter_core::loginResult);
    QVERIFY(client.logIn(QStringLiteral("gallery_user"), QStringLiteral("secret"), 0));
    QTest::ignoreMessage(QtCriticalMsg,
        "Signature::consumeLoginResponse() - return text has wrong "
        "number of fields");
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), false);
    QCOMPARE(storedToken(), QStringLiteral("12345678-AbCdEfGhIjKlMnOpQrStUvWxYz0123456789abcdefg"));
}

void TestTwitterCore::errorTextsAreFresh_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("errorText");

    QTest::newRow("html page") << Script::answer(
        500, "<html><body><p>Internal error<br></body></html>")
                               << QStringLiteral("The service answered HTTP 500 Status 500");
    QTest::newRow("proxy page in capitals")
        << Script::answer(502, "<!DOCTYPE html>\n<HTML><BODY>bad gateway<HR></BODY></HTML>")
        << QStringLiteral("The service answered HTTP 502 Status 502");
    QTest::newRow("well-formed html")
        << Script::answer(503, "<html lang=\"en\"><body>down</body></html>")
        << QStringLiteral("The service answered HTTP 503 Status 503");
    QTest::newRow("empty token reply") << Script::answer(
        200, QByteArray()) << QStringLiteral("The sign-in reply of the server could not be read.");
}

void TestTwitterCore::errorTextsAreFresh()
{
    QFETCH(Script, script);
    QFETCH(QString, errorText);

    // Each failure says what happened to it, not what happened before.
    m_server->setScripts({ Script::answer(403, "first refusal"), script });
    Client client;
    QSignalSpy spy(&client, &ITwitter_core::loginResult);
    QVERIFY(client.logIn(QStringLiteral("u"), QStringLiteral("p"), 0));
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(client.getErrorText(), QStringLiteral("first refusal"));
    QVERIFY(client.logIn(QStringLiteral("u"), QStringLiteral("p"), 0));
    if (script.raw.startsWith("HTTP/1.1 200"))
        QTest::ignoreMessage(
            QtCriticalMsg, "Twitter_core::processLoginResponse() - no return text");
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toBool(), false);
    QCOMPARE(client.getErrorText(), errorText);
}

void TestTwitterCore::credentialsFileIsPrivate()
{
    m_server->setScripts({ Script::answer(200, goodLoginReply) });
    Client client;
    QSignalSpy spy(&client, &ITwitter_core::loginResult);
    QVERIFY(client.logIn(QStringLiteral("gallery_user"), QStringLiteral("secret"), 0));
    QTRY_COMPARE(spy.count(), 1);
    QVERIFY(spy.at(0).at(0).toBool());

    const QString path = QSettings(QSettings::NativeFormat, QSettings::UserScope,
        QStringLiteral("Nobridge"), QStringLiteral("ZPV"))
                             .fileName();
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0600));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("SecretSecretSecret"));
}

void TestTwitterCore::requestsNeedToken_data()
{
    QTest::addColumn<int>("request");
    QTest::addColumn<QString>("line");
    QTest::newRow("user check") << 0
                                << QStringLiteral("Twitter_core::isLoggedIn() - no credentials");
    QTest::newRow("tweet") << 1 << QStringLiteral("Twitter_core::doTweet() - no credentials");
    QTest::newRow("fetch") << 2 << QStringLiteral("Twitter_core::getTweet() - no credentials");
    QTest::newRow("old tweet") << 3 << QStringLiteral("Twitter_core::doTweet() - no credentials");
}

void TestTwitterCore::requestsNeedToken()
{
    QFETCH(int, request);
    QFETCH(QString, line);

    // A token alone is not enough: the secret, id and name must be there too.
    Signature partial;
    partial.oauth_token = QStringLiteral("12345678-abc");
    partial.saveCredentials();

    Client client;
    QTest::ignoreMessage(QtCriticalMsg, "Missing oauth_token_secret");
    QTest::ignoreMessage(QtCriticalMsg, "Missing user_id");
    QTest::ignoreMessage(QtCriticalMsg, "Missing screen_name");
    QTest::ignoreMessage(QtCriticalMsg, qPrintable(line));
    bool sent = true;
    switch (request) {
    case 0:
        sent = client.isLoggedIn(0);
        break;
    case 1:
        sent = client.doTweet(QStringLiteral("hello"), 0);
        break;
    case 2:
        sent = client.getTweet(QStringLiteral("1"), 0);
        break;
    case 3:
        sent = client.doTweetOld(QStringLiteral("hello"), 0);
        break;
    }
    QVERIFY(!sent);
    QTest::qWait(50);
    QCOMPARE(m_server->connectionCount(), 0);
}

void TestTwitterCore::emptyTweetIsNotSent()
{
    storeToken();
    Client client;
    QTest::ignoreMessage(QtCriticalMsg, "Twitter_core::isLoggedIn() - empty tweet");
    QVERIFY(!client.doTweet(QString(), 0));
    QTest::qWait(50);
    QCOMPARE(m_server->connectionCount(), 0);
}

void TestTwitterCore::tweetOutcome_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<bool>("status");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("uid");
    QTest::addColumn<QStringList>("logged");

    const QString unreadable
        = QStringLiteral("The service answered, but its reply could not be read");
    const QString notXml = QStringLiteral("Tweet::consumeTweetResponse() - failed to load xml...");
    const QByteArray deep
        = QByteArray("<status>").repeated(40) + "<id>1</id>" + QByteArray("</status>").repeated(40);

    QTest::newRow("posted") << Script::answer(200, status()) << true
                            << QStringLiteral("Hello world") << QStringLiteral("4711")
                            << QStringLiteral("12345678") << QStringList {};
    // The user record lacks a field: the status is still reported as posted.
    QTest::newRow("no profile image")
        << Script::answer(200, status(QByteArray())) << true << QStringLiteral("Hello world")
        << QStringLiteral("4711") << QStringLiteral("12345678")
        << QStringList { QStringLiteral("::getNamedNodeValue() - failed to find profile_image_url"),
               QStringLiteral("User::fromText() - failed to get profile_image_url") };
    QTest::newRow("empty text element")
        << Script::answer(200, "<status><id>99</id><text></text><user><id>1</id></user></status>")
        << true << QString() << QStringLiteral("99") << QString()
        << QStringList { QStringLiteral("::getNamedNodeValue() - text is empty..."),
               QStringLiteral("Tweet::fromNode() - failed to find id") };
    // Answered, but nothing says the status exists: the user may try again.
    QTest::newRow("not xml") << Script::answer(200, "OK") << false << unreadable << QString()
                             << QString() << QStringList { notXml + QStringLiteral("OK") };
    QTest::newRow("refused by the xml guard")
        << Script::answer(200, deep) << false << unreadable << QString() << QString()
        << QStringList { notXml + QString::fromLatin1(deep) };
    QTest::newRow("duplicate") << Script::answer(403, xmlError("Status is a duplicate.")) << false
                               << QStringLiteral("Status is a duplicate.") << QString() << QString()
                               << QStringList {};
    QTest::newRow("no answer") << Script::closeAtOnce() << false << QString() << QString()
                               << QString() << QStringList {};
}

void TestTwitterCore::tweetOutcome()
{
    QFETCH(Script, script);
    QFETCH(bool, status);
    QFETCH(QString, text);
    QFETCH(QString, id);
    QFETCH(QString, uid);
    QFETCH(QStringList, logged);

    storeToken();
    m_server->setScripts({ script });
    Client client;
    QSignalSpy spy(&client, &ITwitter_core::tweetResult);
    QVERIFY(client.doTweet(QStringLiteral("Hello wörld & more"), 0));
    for (const QString &line : std::as_const(logged))
        QTest::ignoreMessage(QtCriticalMsg, qPrintable(line));
    QTRY_COMPARE(spy.count(), 1);
    const QList<QVariant> result = spy.takeFirst();
    QCOMPARE(result.at(0).toBool(), status);
    if (QByteArray(QTest::currentDataTag()) == "no answer")
        QVERIFY(!result.at(1).toString().isEmpty()); // the network's reason
    else
        QCOMPARE(result.at(1).toString(), text);
    QCOMPARE(result.at(2).toString(), id);
    QCOMPARE(result.at(3).toString(), uid);
    QCOMPARE(result.at(4).toULongLong(), 0ull);

    if (m_server->requests().isEmpty())
        return;
    const auto request = m_server->requests().constFirst();
    QCOMPARE(request.path, QByteArray("/1/statuses/update.xml"));
    QCOMPARE(request.body, QByteArray("status=Hello%20w%C3%B6rld%20%26%20more"));
    QVERIFY(request.header("Authorization")
                .contains("oauth_token=\"12345678-AbCdEfGhIjKlMnOpQrStUvWxYz0123456789abcdefg\""));
}

void TestTwitterCore::getTweetOutcome_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<bool>("status");
    QTest::addColumn<QString>("text");

    QTest::newRow("found") << Script::answer(200, status()) << true
                           << QStringLiteral("Hello world");
    QTest::newRow("refused") << Script::answer(403, xmlError("Not yours")) << false << QString();
    QTest::newRow("unknown") << Script::answer(404, xmlError("No status found")) << false
                             << QString();
}

void TestTwitterCore::getTweetOutcome()
{
    QFETCH(Script, script);
    QFETCH(bool, status);
    QFETCH(QString, text);

    storeToken();
    m_server->setScripts({ script });
    Client client;
    QSignalSpy spy(&client, &ITwitter_core::getTweetResult);
    QVERIFY(client.getTweet(QStringLiteral("4711"), 0));
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), status);
    QCOMPARE(spy.at(0).at(1).toString(), text);
    const auto request = m_server->requests().constFirst();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.path, QByteArray("/1/statuses/show/4711.xml"));
    QCOMPARE(request.header("Content-Type"), QByteArray("text"));
}

void TestTwitterCore::userCheckIsSignedGet()
{
    storeToken();
    m_server->setScripts({ Script::answer(200,
        "<user><id>12345678</id><name>Gallery User</name>"
        "<screen_name>gallery_user</screen_name>"
        "<profile_image_url>http://x/p.png</profile_image_url>"
        "</user>") });
    Client client;
    QSignalSpy spy(&client, &ITwitter_core::isLoggedInResult);
    QVERIFY(client.isLoggedIn(0));
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    QCOMPARE(client.user.name, QStringLiteral("Gallery User"));
    QCOMPARE(client.user.screen_name, QStringLiteral("gallery_user"));
    const auto request = m_server->requests().constFirst();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.path, QByteArray("/1/users/show.xml?user_id=12345678"));
    QVERIFY(request.body.isEmpty());
}

void TestTwitterCore::destructorKeepsTokenOnlyWhenSaved_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("remember") << true;
    QTest::newRow("forget") << false;
}

void TestTwitterCore::destructorKeepsTokenOnlyWhenSaved()
{
    QFETCH(bool, save);
    storeToken();
    {
        Client client;
        QVERIFY(client.haveAccessToken(0));
        client.setSaveState(save);
    }
    QCOMPARE(!storedToken().isEmpty(), save);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Nobridge"),
        QStringLiteral("ZPV"));
    QCOMPARE(settings.value(QStringLiteral("Twitter/save_state")).toBool(), save);

    // The next client starts from the stored switch.
    Client next;
    QCOMPARE(next.getSaveState(), save);
    next.setSaveState(false);
}

void TestTwitterCore::logOutForgetsEverything()
{
    storeToken();
    Client client;
    client.setSaveState(true);
    client.user.name = QStringLiteral("Gallery User");
    QSignalSpy login(&client, &ITwitter_core::loginResult);
    QVERIFY(client.logOut(0));
    QVERIFY(!client.haveAccessToken(0));
    QVERIFY(!client.getSaveState());
    QVERIFY(client.user.name.isEmpty());
    QTest::qWait(20);
    QCOMPARE(login.count(), 0);
    QCOMPARE(m_server->connectionCount(), 0);
}

void TestTwitterCore::selfTestsPass()
{
    Client client;
    QTest::ignoreMessage(QtDebugMsg, "Twitter_core::signatureTest1() - PASS");
    QTest::ignoreMessage(QtDebugMsg, "Twitter_core::signatureTest2() - PASS");
    QVERIFY(client.signatureTest(0));
    QVERIFY(client.signatureTweetTest(0));
}

QTEST_GUILESS_MAIN(TestTwitterCore)
#include "tst_twittercore.moc"
