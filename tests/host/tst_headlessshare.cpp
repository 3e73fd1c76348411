// The headless share end to end: the real wizard pages driven through the
// plug-in and the upload applet against the local service, in one process.
#include "hostfixture.h"

#include "appletmanager.h"
#include "common/loopbackserver.h"
#include "controller/hostcontract.h"
#include "controller/twittercoreobject.h"
#include "errorpage.h"
#include "headlessshare.h"
#include "sharesession.h"

#include <QPushButton>
#include <QTest>
#include <QTextStream>

using namespace HostContract;

class TestHeadlessShare : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        // Every string connection of the host to the plug-in must be accepted.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^QObject::connect")));
        QVERIFY2(m_fixture.setUp(&m_error), qPrintable(m_error));
    }
    void cleanup() { m_fixture.tearDown(); }
    void share_data();
    void share();

private:
    HostFixture m_fixture;
    QString m_error;
};

// Tests may shorten the plug-in's close-down delay; the session made this one.
struct CloseDownDelay : TwitterCoreObject
{
    static auto setter() { return &CloseDownDelay::setCloseDownDelay; }
};

enum Setup {
    Uploaded = 1,
    TokenStored = 2,
    Huge = 4,
    Drips = 8,
    Gone = 16,
    Stopped = 32,
    // The x flavour, remembered: the PIN read off the authorize page.
    XFlavor = 64,
};

void TestHeadlessShare::share_data()
{
    QTest::addColumn<int>("setup");
    QTest::addColumn<QString>("password");
    // Success: the steps in order. Failure: the error page's code, a part of
    // its text and where its Back leads.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<unsigned long>("code");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("backTo");
    const QString password = HostFixture::password;
    QTest::newRow("new video, password")
        << 0 << password
        << QStringLiteral("sign-in user check review hand-over upload short-link tweet badge")
        << 0ul << QString() << 0;
    QTest::newRow("x flavour, PIN")
        << int(XFlavor) << QString()
        << QStringLiteral("sign-in user check review hand-over upload short-link tweet badge")
        << 0ul << QString() << 0;
    // A stored sign-in opens at the review page; a link recorded earlier is used.
    QTest::newRow("uploaded video, stored sign-in")
        << (Uploaded | TokenStored) << password
        << QStringLiteral("user check review short-link tweet badge") << 0ul << QString() << 0;
    QTest::newRow("wrong password") << 0 << QStringLiteral("not the password") << QString() << 2ul
                                    << QString() << int(WizardHost::SignIn);
    // A failed upload ends on the error page with its reason. An answer is
    // neither read whole nor waited for without end.
    QTest::newRow("upload answer too large")
        << (TokenStored | Huge) << password << QString() << 0ul
        << QStringLiteral("reply larger than 1 MiB") << int(WizardHost::Review);
    QTest::newRow("upload answer drips")
        << (TokenStored | Drips) << password << QString() << 0ul
        << QStringLiteral("timed out after") << int(WizardHost::Review);
    QTest::newRow("clip gone before the upload")
        << (TokenStored | Gone) << password << QString() << 0ul << QStringLiteral("cannot be read")
        << int(WizardHost::Review);
    QTest::newRow("service gone before the upload")
        << (TokenStored | Stopped) << password << QString() << 0ul
        << QStringLiteral("did not get through") << int(WizardHost::Review);
}

void TestHeadlessShare::share()
{
    QFETCH(int, setup);
    QFETCH(QString, password);
    QFETCH(QString, steps);
    QFETCH(unsigned long, code);
    QFETCH(QString, reason);
    QFETCH(int, backTo);
    // Separators of other text forms and non-ASCII in the folder's name.
    const QString folder = m_fixture.videoFolder() + QStringLiteral("/Smith, J; Vidéos ビデオ");
    const QString clip = folder + QStringLiteral("/clip.mp4");
    QVERIFY(QDir().mkpath(folder) && QFile::copy(m_fixture.clip(0), clip));
    if (setup & Uploaded)
        QVERIFY(Badger().badgeContent(
            videoUploadAppId(), m_fixture.serviceUrl(QStringLiteral("/v/earlier")), clip, 0));
    if (setup & TokenStored)
        QVERIFY(HostFixture::storeAccessToken());
    if (setup & XFlavor)
        HostFixture::useXFlavor();
    // A fault server answers the upload, and the sign-in check before it.
    using Script = LoopbackServer::Script;
    LoopbackServer api;
    if (setup & (Huge | Drips)) {
        const Script fault = (setup & Huge)
            ? Script::large(3 * 1024 * 1024, true)
            : Script::drip(
                Script::answer(200, "http://127.0.0.1/v/" + QByteArray(200, 'a')).raw, 40);
        api.setResponder([fault](const LoopbackServer::Request &request) {
            return request.path == "/upload" ? fault
                                             : Script::answer(200,
                                                 "<user><id>1</id><name>n</name><screen_name>s"
                                                 "</screen_name><profile_image_url>p"
                                                 "</profile_image_url></user>");
        });
        QVERIFY(api.listen());
        IsolatedSettings::set(TwitterSettings::apiUrlKey, api.url().toString());
        IsolatedSettings::set(TwitterSettings::timeoutKey, 300);
    }

    QString printed;
    QTextStream out(&printed);
    HeadlessShare share({ clip, HostFixture::userName, password, QStringLiteral("Look at <b> & ü"),
                            bool(setup & XFlavor), 30000 },
        out);
    QSignalSpy finished(&share, &HeadlessShare::finished);
    share.start();
    QSignalSpy ended(share.session(), &ShareSession::ended);
    QSignalSpy appClosed(share.session()->appletManager(), &AppletManager::appClosed);
    WizardHost *wizard = share.session()->wizard();
    // Between the review and the upload, the clip or the service goes away.
    connect(wizard, &WizardHost::pageChanged, this, [&](WizardHost::Page page) {
        if (page == WizardHost::MustUpload && (setup & Gone))
            QFile::remove(clip);
        if (page == WizardHost::MustUpload && (setup & Stopped))
            m_fixture.service->stop();
    });
    auto *core = qobject_cast<TwitterCoreObject *>(share.session()->controller());
    (core->*CloseDownDelay::setter())(50);
    QVERIFY(finished.wait(40000));
    QCOMPARE(finished.first().at(0).toBool(), !steps.isEmpty());
    const QString uploaded = HostFixture::badgeUrl(clip, videoUploadAppId());
    if (steps.isEmpty()) {
        QCOMPARE(wizard->currentPage(), WizardHost::Error);
        QCOMPARE(wizard->errorPage()->code(), code);
        QVERIFY(share.failure().startsWith(ErrorPage::explain(code)));
        QVERIFY2(share.failure().contains(reason), qPrintable(share.failure()));
        QVERIFY(printed.contains(QStringLiteral("share failed: ") + share.failure()));
        // Nothing was recorded with the clip.
        QVERIFY(uploaded.isEmpty() && HostFixture::badgeUrl(clip, ownAppId()).isEmpty());
        // The plug-in hears the upload applet closed without a result.
        if (backTo == WizardHost::Review)
            QCOMPARE(appClosed.value(appClosed.size() - 1),
                (QVariantList { videoUploadAppId(),
                    QVariant::fromValue<unsigned long>(OnAppClosed::InHandOver) }));
        QTest::mouseClick(wizard->backButton(), Qt::LeftButton);
        QTRY_COMPARE(int(wizard->currentPage()), backTo);
        return;
    }
    QCOMPARE(share.steps().join(u' '), steps);
    // The tweet carries a short link; it leads to the link recorded with the
    // clip, which serves the very clip when the upload applet recorded it.
    QVERIFY(share.shortLink().startsWith(m_fixture.serviceUrl(QStringLiteral("/s/"))));
    QCOMPARE(share.tweetText(), QStringLiteral("Look at <b> & ü ") + share.shortLink());
    QUrl landed;
    const QByteArray served = HostFixture::fetch(share.shortLink(), &landed);
    QCOMPARE(landed.toString(), uploaded);
    QFile file(clip);
    QVERIFY(file.open(QIODevice::ReadOnly));
    if (!(setup & Uploaded))
        QCOMPARE(served, file.readAll());
    // The plug-in badged the shared clip too, and then closes: asked by the
    // host, it agrees.
    QCOMPARE(
        HostFixture::badgeUrl(clip, ownAppId()), m_fixture.serviceUrl(QStringLiteral("/home")));
    QVERIFY(!share.tweetId().isEmpty());
    // The remembered token fetches the status back.
    if (setup & XFlavor) {
        Twitter_core client(nullptr, 0);
        QSignalSpy fetched(&client, &ITwitter_core::getTweetResult);
        QVERIFY(client.getTweet(share.tweetId(), 0) && fetched.wait(10000));
        QCOMPARE(
            fetched.first().mid(0, 3), (QVariantList { true, share.tweetText(), share.tweetId() }));
    }
    // It may have ended while the links above were followed.
    QVERIFY(!ended.isEmpty() || ended.wait(10000));
    QCOMPARE(ended.first().at(0).toBool(), true);
}

QTEST_MAIN(TestHeadlessShare)
#include "tst_headlessshare.moc"
