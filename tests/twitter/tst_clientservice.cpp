// The Twitter client against the bundled service, over HTTP and HTTPS: every
// request is checked there by an independent OAuth implementation, so a
// signing mistake on either side shows up as a refusal.
#include "common/isolatedsettings.h"
#include "common/testcertificates.h"
#include "twitter/twitter_core.h"
#include "twitterservice.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString userName = QStringLiteral("gallery_user");
const QString password = QStringLiteral("pa%ss w&rd=ü");

} // namespace

class TestClientService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void shareRoundTrip_data();
    void shareRoundTrip();
    void rememberedSignInSurvivesClient_data();
    void rememberedSignInSurvivesClient();
    void stoppedServiceIsNoAnswer();

private:
    void startService(bool tls);

    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<TestCertificates> m_certificates;
    std::unique_ptr<TwitterService> m_service;
};

void TestClientService::init()
{
    m_settings = std::make_unique<IsolatedSettings>();
    QVERIFY(m_settings->isValid());
    IsolatedSettings::set(TwitterSettings::timeoutKey, 5000);
}

void TestClientService::cleanup()
{
    m_service.reset();
    m_certificates.reset();
    m_settings.reset();
}

void TestClientService::startService(bool tls)
{
    ServiceOptions options;
    options.users.append({ userName, password });
    options.consumers.append(ServiceOptions::defaultConsumer());
    if (tls) {
        m_certificates = std::make_unique<TestCertificates>();
        QVERIFY2(m_certificates->create(), qPrintable(m_certificates->error()));
        options.tlsCertificate = m_certificates->serverCertificateFile();
        options.tlsKey = m_certificates->serverKeyFile();
        IsolatedSettings::set(TwitterSettings::caCertificatesKey, m_certificates->caFile());
    }
    m_service = std::make_unique<TwitterService>(options);
    QString error;
    QVERIFY2(m_service->start(&error), qPrintable(error));
    IsolatedSettings::set(TwitterSettings::apiUrlKey, m_service->baseUrl().toString());
}

void TestClientService::shareRoundTrip_data()
{
    QTest::addColumn<bool>("tls");
    QTest::newRow("http") << false;
    QTest::newRow("https") << true;
}

void TestClientService::shareRoundTrip()
{
    QFETCH(bool, tls);
    startService(tls);
    if (QTest::currentTestFailed())
        return;

    Twitter_core client(nullptr, 0);
    QSignalSpy login(&client, &ITwitter_core::loginResult);
    QSignalSpy check(&client, &ITwitter_core::isLoggedInResult);
    QSignalSpy tweet(&client, &ITwitter_core::tweetResult);
    QSignalSpy fetch(&client, &ITwitter_core::getTweetResult);

    // A wrong password: refused, with the service's own words.
    QVERIFY(client.logIn(userName, QStringLiteral("wrong"), 0));
    QTRY_COMPARE(login.count(), 1);
    QCOMPARE(login.at(0).at(0).toBool(), false);
    QCOMPARE(login.at(0).at(1).toULongLong(), 1ull);
    QCOMPARE(client.getErrorText(), QStringLiteral("Invalid user name or password"));
    QVERIFY(!client.haveAccessToken(0));

    QVERIFY(client.logIn(userName, password, 0));
    QTRY_COMPARE(login.count(), 2);
    QCOMPARE(login.at(1).at(0).toBool(), true);
    QVERIFY(client.haveAccessToken(0));

    // The GET with a query is signed the way the service checks it.
    QVERIFY(client.isLoggedIn(0));
    QTRY_COMPARE(check.count(), 1);
    QCOMPARE(check.at(0).at(0).toBool(), true);
    QCOMPARE(client.user.screen_name, userName);
    QVERIFY(!client.user.id.isEmpty());

    const QString text
        = QStringLiteral("Größe & <Form> 100% \"quoted\" + more: http://127.0.0.1/x?a=1&b=2");
    QVERIFY(client.doTweet(text, 0));
    QTRY_COMPARE(tweet.count(), 1);
    QCOMPARE(tweet.at(0).at(0).toBool(), true);
    QCOMPARE(tweet.at(0).at(1).toString(), text);
    const QString id = tweet.at(0).at(2).toString();
    QVERIFY(!id.isEmpty());
    QCOMPARE(tweet.at(0).at(3).toString(), client.user.id);

    QVERIFY(client.getTweet(id, 0));
    QTRY_COMPARE(fetch.count(), 1);
    QCOMPARE(fetch.at(0).at(0).toBool(), true);
    QCOMPARE(fetch.at(0).at(1).toString(), text);
    QCOMPARE(fetch.at(0).at(2).toString(), id);

    QVERIFY(client.doTweet(text, 0));
    QTRY_COMPARE(tweet.count(), 2);
    QCOMPARE(tweet.at(1).at(0).toBool(), false);
    QCOMPARE(tweet.at(1).at(1).toString(), QStringLiteral("Status is a duplicate."));

    QVERIFY(client.getTweet(QStringLiteral("999999"), 0));
    QTRY_COMPARE(fetch.count(), 2);
    QCOMPARE(fetch.at(1).at(0).toBool(), false);

    QVERIFY(client.logOut(0));
    QVERIFY(!client.haveAccessToken(0));
    QTest::ignoreMessage(QtCriticalMsg, "Missing oauth_token");
    QTest::ignoreMessage(QtCriticalMsg, "Missing oauth_token_secret");
    QTest::ignoreMessage(QtCriticalMsg, "Missing user_id");
    QTest::ignoreMessage(QtCriticalMsg, "Missing screen_name");
    QTest::ignoreMessage(QtCriticalMsg, "Twitter_core::isLoggedIn() - no credentials");
    QVERIFY(!client.isLoggedIn(0));
}

void TestClientService::rememberedSignInSurvivesClient_data()
{
    QTest::addColumn<bool>("remember");
    QTest::newRow("remember") << true;
    QTest::newRow("forget") << false;
}

void TestClientService::rememberedSignInSurvivesClient()
{
    QFETCH(bool, remember);
    startService(false);
    {
        Twitter_core client(nullptr, 0);
        QSignalSpy login(&client, &ITwitter_core::loginResult);
        QVERIFY(client.logIn(userName, password, 0));
        QTRY_COMPARE(login.count(), 1);
        QVERIFY(login.at(0).at(0).toBool());
        client.setSaveState(remember);
    }
    Twitter_core next(nullptr, 0);
    QCOMPARE(next.haveAccessToken(0), remember);
    QCOMPARE(next.getSaveState(), remember);
    if (!remember)
        return;
    QSignalSpy check(&next, &ITwitter_core::isLoggedInResult);
    QVERIFY(next.isLoggedIn(0));
    QTRY_COMPARE(check.count(), 1);
    QCOMPARE(check.at(0).at(0).toBool(), true);
}

void TestClientService::stoppedServiceIsNoAnswer()
{
    startService(false);
    m_service->stop();
    Twitter_core client(nullptr, 0);
    QSignalSpy login(&client, &ITwitter_core::loginResult);
    QVERIFY(client.logIn(userName, password, 0));
    QTRY_COMPARE(login.count(), 1);
    QCOMPARE(login.at(0).at(1).toULongLong(), 2ull);
    QVERIFY(!client.getErrorText().isEmpty());
}

QTEST_GUILESS_MAIN(TestClientService)
#include "tst_clientservice.moc"
