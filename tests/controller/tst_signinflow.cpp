// The sign-in flow of the controller against the bundled service, driven
// through the test host and a sign-in page that reports what the user typed.
#include "common/isolatedsettings.h"
#include "controller/keyvaluerecord.h"
#include "controllerfixture.h"
#include "mediafixtures.h"
#include "twitterservice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const QString userName = QStringLiteral("gallery_user");
// Holds both separators of the record the page reports it in.
const QString password = QStringLiteral("pa||ss<>wörd");

QString signInText(const QString &author, const QString &secret, bool remember)
{
    // Written by hand as a page would, not through our own writer.
    return QStringLiteral("author||") + author + QStringLiteral("<>password||") + secret
        + QStringLiteral("<>remember||") + (remember ? QLatin1Char('1') : QLatin1Char('0'));
}

} // namespace

class TestSignInFlow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void passwordSignIn_data();
    void passwordSignIn();
    void noAnswer();
    void nextWhenSignedIn();
    void rememberAcrossLifetimes_data();
    void rememberAcrossLifetimes();
    void storedTokenFails_data();
    void storedTokenFails();
    void signOutResubmitsSelection();
    void createAccount_data();
    void createAccount();

private:
    // Signs in through the page; returns the page.
    WizardPage *signIn(ControllerFixture &fixture, const QString &secret, bool remember);
    void setStoredToken(const QStringList &values);

    QTemporaryDir m_dir;
    QString m_video;
    QByteArray m_path;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<TwitterService> m_service;
};

void TestSignInFlow::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_video = m_dir.filePath(QStringLiteral("clip.mp4"));
    QVERIFY(MediaFixtures::makeClip(m_video, 1.0));

    // A recording opener in place of the desktop's.
    m_path = qgetenv("PATH");
    const QString bin = m_dir.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(MediaFixtures::writeFile(bin + QStringLiteral("/xdg-open"),
        "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$OPENER_LOG\"\n"));
    QVERIFY(QFile::setPermissions(
        bin + QStringLiteral("/xdg-open"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("PATH", QFile::encodeName(bin) + ':' + m_path);
}

void TestSignInFlow::init()
{
    m_settings = std::make_unique<IsolatedSettings>();
    QVERIFY(m_settings->isValid());
    IsolatedSettings::set(TwitterSettings::timeoutKey, 5000);
    ServiceOptions options;
    options.users.append({ userName, password });
    options.consumers.append(ServiceOptions::defaultConsumer());
    m_service = std::make_unique<TwitterService>(options);
    QString error;
    QVERIFY2(m_service->start(&error), qPrintable(error));
    IsolatedSettings::set(TwitterSettings::apiUrlKey, m_service->baseUrl().toString());
}

void TestSignInFlow::cleanup()
{
    m_service.reset();
    m_settings.reset();
}

WizardPage *TestSignInFlow::signIn(ControllerFixture &fixture, const QString &secret, bool remember)
{
    WizardPage *page = fixture.addPage(0x400);
    page->reports = { { signInText(userName, secret, remember), 0x1000 } };
    fixture.start();
    QMetaObject::invokeMethod(fixture.controller, "onLoginNext", Q_ARG(bool, true));
    return page;
}

void TestSignInFlow::setStoredToken(const QStringList &values)
{
    const char *keys[]
        = { "OAuth/oauth_token", "OAuth/oauth_token_secret", "OAuth/user_id", "OAuth/screen_name" };
    for (int i = 0; i < values.size(); ++i)
        IsolatedSettings::set(keys[i], values.at(i));
}

void TestSignInFlow::passwordSignIn_data()
{
    QTest::addColumn<QString>("secret");
    QTest::addColumn<bool>("remember");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("uploaded");

    QTest::newRow("good password, remember") << password << true << true << false;
    QTest::newRow("good password, forget") << password << false << true << false;
    QTest::newRow("good password after the upload") << password << false << true << true;
    QTest::newRow("wrong password") << QStringLiteral("pa||ss") << true << false << false;
}

void TestSignInFlow::passwordSignIn()
{
    QFETCH(QString, secret);
    QFETCH(bool, remember);
    QFETCH(bool, accepted);
    QFETCH(bool, uploaded);

    ControllerFixture fixture({ { m_video, QImage() } });
    if (uploaded) {
        fixture.controller->onUploadStatus(HostContract::videoUploadAppId(), true, m_video,
            QStringLiteral("http://127.0.0.1/v/1"), 0x2);
    }
    WizardPage *page = signIn(fixture, secret, remember);
    if (!accepted) {
        QTRY_COMPARE(fixture.host->firstArguments("onShowError"), ulongs({ 2 }));
        QCOMPARE(
            fixture.controller->getUserErrorMsg(), QStringLiteral("Invalid user name or password"));
        QCOMPARE(fixture.host->calls("onGetLoggedInUserComplete").size(), 1);
        return;
    }
    QTRY_COMPARE(fixture.host->calls("onGetLoggedInUserComplete").size(), 2);
    QCOMPARE(
        fixture.host->calls("onGetLoggedInUserComplete").at(1), QVariantList({ true, QString() }));
    // Once the video is up, the wizard resumes at the tweet instead.
    if (uploaded)
        QTRY_COMPARE(fixture.host->firstArguments("onResumeWizard"), ulongs({ 72 }));
    else
        QTRY_COMPARE(fixture.host->firstArguments("onDoWizardNext"), ulongs({ 0 }));
    QCOMPARE(fixture.host->calls("onDoWizardNext").isEmpty(), uploaded);
    QVERIFY(fixture.host->calls("onShowError").isEmpty());

    // The page gets the screen name and a masked password back, never the real one.
    QTRY_COMPARE(page->texts(0x1000).size(), 1);
    KeyValueRecord record;
    QVERIFY(record.fromString(page->texts(0x1000).first()));
    QCOMPARE(record.value(QStringLiteral("author")), userName);
    QCOMPARE(record.value(QStringLiteral("password")), QStringLiteral("**********"));
    QCOMPARE(record.value(QStringLiteral("remember")),
        QString(remember ? QStringLiteral("1") : QStringLiteral("0")));
    QCOMPARE(page->texts(0x1), QStringList { userName });
    QCOMPARE(page->texts(0x8000), QStringList { QString() });
}

void TestSignInFlow::noAnswer()
{
    m_service->stop();
    ControllerFixture fixture;
    signIn(fixture, password, false);
    QTRY_COMPARE(fixture.host->firstArguments("onShowError"), ulongs({ 1024 }));
    QVERIFY(!fixture.controller->getUserErrorMsg().isEmpty());
}

void TestSignInFlow::nextWhenSignedIn()
{
    ControllerFixture fixture;
    WizardPage *page = signIn(fixture, password, false);
    QTRY_COMPARE(fixture.host->firstArguments("onDoWizardNext"), ulongs({ 0 }));
    page->reset();
    fixture.host->reset();
    // The service is gone: any new sign-in would fail.
    m_service->stop();
    QMetaObject::invokeMethod(fixture.controller, "onLoginNext", Q_ARG(bool, true));
    fixture.settle();
    QCOMPARE(fixture.host->firstArguments("onDoWizardNext"), ulongs({ 0 }));
    QVERIFY(page->texts(0x200).isEmpty());
}

void TestSignInFlow::rememberAcrossLifetimes_data()
{
    QTest::addColumn<bool>("remember");
    QTest::newRow("remember") << true;
    QTest::newRow("forget") << false;
}

void TestSignInFlow::rememberAcrossLifetimes()
{
    QFETCH(bool, remember);
    {
        ControllerFixture first;
        signIn(first, password, remember);
        QTRY_COMPARE(first.host->calls("onGetLoggedInUserComplete").size(), 2);
    }
    ControllerFixture second;
    second.start();
    QCOMPARE(
        second.host->firstArguments("onStartUploadWizard"), ulongs({ remember ? 16ul : 32ul }));
    if (remember) {
        QTRY_COMPARE(second.host->calls("onGetLoggedInUserComplete"),
            QList<QVariantList> { QVariantList({ true, QString() }) });
        // A stored sign-in confirmed at start does not move the wizard.
        QVERIFY(second.host->calls("onDoWizardNext").isEmpty());
    } else {
        second.settle();
        QCOMPARE(second.host->calls("onGetLoggedInUserComplete"),
            QList<QVariantList> { QVariantList({ false, QString() }) });
    }
    QVERIFY(second.host->calls("onShowError").isEmpty());
}

void TestSignInFlow::storedTokenFails_data()
{
    QTest::addColumn<QStringList>("token");
    QTest::addColumn<QString>("message");

    QTest::newRow("refused by the service") << QStringList { QStringLiteral("bogus"),
        QStringLiteral("bogus"), QStringLiteral("1"), userName }
                                            << QString();
    // The client cannot even sign a request with it.
    QTest::newRow("incomplete") << QStringList {
        QStringLiteral("bogus")
    } << QStringLiteral("The stored Twitter sign-in is incomplete; please sign in again.");
}

void TestSignInFlow::storedTokenFails()
{
    QFETCH(QStringList, token);
    QFETCH(QString, message);

    setStoredToken(token);
    ControllerFixture fixture;
    fixture.start();
    QCOMPARE(fixture.host->firstArguments("onStartUploadWizard"), ulongs({ 16 }));
    QTRY_COMPARE(fixture.host->firstArguments("onShowError"), ulongs({ 8 }));
    QCOMPARE(fixture.host->calls("onGetLoggedInUserComplete"),
        QList<QVariantList> { QVariantList({ false, QString() }) });
    QVERIFY(!fixture.controller->getUserErrorMsg().isEmpty());
    if (!message.isEmpty())
        QCOMPARE(fixture.controller->getUserErrorMsg(), message);
}

void TestSignInFlow::signOutResubmitsSelection()
{
    ControllerFixture fixture({ { m_video, QImage() } });
    WizardPage *page = signIn(fixture, password, true);
    QTRY_COMPARE(fixture.host->firstArguments("onDoWizardNext"), ulongs({ 0 }));
    fixture.host->reset();

    Q_EMIT page->applyClicked(true);
    fixture.settle();
    QCOMPARE(fixture.manager->firstArguments("onRequestSelectContent"), ulongs({ 0, 0 }));
    QCOMPARE(fixture.host->firstArguments("onStartUploadWizard"), ulongs({ 32 }));
    QCOMPARE(fixture.host->calls("onGetLoggedInUserComplete"),
        QList<QVariantList> { QVariantList({ false, QString() }) });
    QCOMPARE(fixture.host->calls("onReviewApproval"),
        QList<QVariantList> { QVariantList({ true, QVariant::fromValue(0ul) }) });

    // Signed out: Next on the sign-in page asks for the credentials again,
    // and the token is gone for the next run as well.
    page->reset();
    QMetaObject::invokeMethod(fixture.controller, "onLoginNext", Q_ARG(bool, true));
    fixture.settle();
    QCOMPARE(page->texts(0x200).size(), 1);
    QSettings settings(QString::fromLatin1(TwitterSettings::organisation),
        QString::fromLatin1(TwitterSettings::application));
    QVERIFY(settings.value(QStringLiteral("Twitter/OAuth/oauth_token")).toString().isEmpty());
}

void TestSignInFlow::createAccount_data()
{
    QTest::addColumn<QString>("webUrl");
    QTest::addColumn<bool>("openerPresent");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QVariantList>("errors");

    QTest::newRow("default web site")
        << QString() << true << QStringLiteral("https://twitter.com/signup") << QVariantList {};
    QTest::newRow("configured web site")
        << QStringLiteral("http://127.0.0.1:9") << true
        << QStringLiteral("http://127.0.0.1:9/signup") << QVariantList {};
    QTest::newRow("no opener") << QString() << false << QString() << ulongs({ 4 });
}

void TestSignInFlow::createAccount()
{
    QFETCH(QString, webUrl);
    QFETCH(bool, openerPresent);
    QFETCH(QString, opened);
    QFETCH(QVariantList, errors);

    const QString log
        = m_dir.filePath(QStringLiteral("opener-%1.log").arg(QTest::currentDataTag()));
    qputenv("OPENER_LOG", QFile::encodeName(log));
    const QByteArray path = qgetenv("PATH");
    if (!openerPresent)
        qputenv("PATH", QFile::encodeName(m_dir.filePath(QStringLiteral("no-bin"))));
    IsolatedSettings::set(
        TwitterSettings::webUrlKey, webUrl.isEmpty() ? QVariant() : QVariant(webUrl));

    ControllerFixture fixture;
    QVERIFY(QMetaObject::invokeMethod(fixture.controller, "onCreateAccount"));
    qputenv("PATH", path);
    fixture.settle();
    QCOMPARE(fixture.host->firstArguments("onShowError"), errors);
    QCOMPARE(fixture.controller->getUserErrorMsg().isEmpty(), errors.isEmpty());
    if (!openerPresent)
        return;
    // The opener runs detached; its log appears a little later.
    const auto logged = [&log] {
        QFile file(log);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed()
                                              : QString();
    };
    QTRY_COMPARE(logged(), opened);
}

QTEST_MAIN(TestSignInFlow)
#include "tst_signinflow.moc"
