// The headless share end to end: the real wizard pages driven through the
// plug-in against the local service, in one process.
#include "hostfixture.h"

#include "badges/badger.h"
#include "common/loopbackserver.h"
#include "controller/hostcontract.h"
#include "errorpage.h"
#include "headlessshare.h"
#include "sharesession.h"
#include "wizardhost.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextStream>

class TestHeadlessShare : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void share_data();
    void share();
    void failedShare_data();
    void failedShare();

private:
    HostFixture m_fixture;
};

void TestHeadlessShare::init()
{
    QString error;
    QVERIFY2(m_fixture.setUp(&error), qPrintable(error));
}

void TestHeadlessShare::cleanup()
{
    m_fixture.tearDown();
}

void TestHeadlessShare::share_data()
{
    QTest::addColumn<bool>("alreadyUploaded");
    QTest::addColumn<bool>("tokenStored");
    QTest::addColumn<QStringList>("steps");
    const QString signIn = QStringLiteral("sign-in");
    const QString review = QStringLiteral("review");
    const QString handOver = QStringLiteral("hand-over");
    const QString upload = QStringLiteral("upload");
    const QString shortLink = QStringLiteral("short-link");
    const QString tweet = QStringLiteral("tweet");
    QTest::newRow("new video, password")
        << false << false << QStringList { signIn, review, handOver, upload, shortLink, tweet };
    QTest::newRow("uploaded video, password")
        << true << false << QStringList { signIn, review, shortLink, tweet };
    // A stored sign-in opens at the review page: no sign-in step.
    QTest::newRow("new video, stored sign-in")
        << false << true << QStringList { review, handOver, upload, shortLink, tweet };
}

void TestHeadlessShare::share()
{
    QFETCH(bool, alreadyUploaded);
    QFETCH(bool, tokenStored);
    QFETCH(QStringList, steps);
    // Separators of other text forms and non-ASCII in the folder's name.
    const QString folder = m_fixture.videoFolder() + QStringLiteral("/Smith, J; Vidéos ビデオ");
    const QString clip = folder + QStringLiteral("/clip.mp4");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::copy(m_fixture.clip(0), clip));
    const QString earlierLink
        = m_fixture.service()->baseUrl().toString() + QStringLiteral("/v/earlier");
    if (alreadyUploaded) {
        Badger badger;
        QVERIFY(badger.badgeContent(HostContract::videoUploadAppId(), earlierLink, clip, 0));
    }
    if (tokenStored)
        QVERIFY(HostFixture::storeAccessToken(HostFixture::userName, HostFixture::password));

    QString printed;
    QTextStream out(&printed);
    HeadlessShare::Options options;
    options.clip = clip;
    options.user = HostFixture::userName;
    options.password = HostFixture::password;
    options.text = QStringLiteral("Look at this <b> & ü");
    options.timeoutMs = 20000;
    HeadlessShare share(options, out);
    QSignalSpy finished(&share, &HeadlessShare::finished);
    share.start();
    QVERIFY(finished.wait(30000));
    QVERIFY2(finished.first().at(0).toBool(), qPrintable(share.failure()));

    QVERIFY2(share.steps() == steps, qPrintable(share.steps().join(u' ')));
    QCOMPARE(share.session()->wizard()->currentPage(), WizardHost::Result);
    // The short link leads where the upload applet recorded the video.
    const QString uploaded = HostFixture::badgeUrl(clip, HostContract::videoUploadAppId());
    if (alreadyUploaded)
        QCOMPARE(uploaded, earlierLink);
    else
        QVERIFY2(
            uploaded.startsWith(m_fixture.service()->baseUrl().toString() + QStringLiteral("/v/")),
            qPrintable(uploaded));
    QVERIFY(share.shortLink().startsWith(
        m_fixture.service()->baseUrl().toString() + QStringLiteral("/s/")));
    QCOMPARE(share.tweetText(), options.text + u' ' + share.shortLink());
    QVERIFY(!share.tweetId().isEmpty());
    // The plug-in badged the shared clip too.
    QCOMPARE(HostFixture::badgeUrl(clip, HostContract::ownAppId()),
        m_fixture.service()->baseUrl().toString() + QStringLiteral("/home"));
    for (const QString &step : std::as_const(steps))
        QVERIFY2(printed.contains(QStringLiteral("step %1 ").arg(step)), qPrintable(printed));
    QVERIFY(printed.contains(QStringLiteral("tweet id: ") + share.tweetId()));
    QVERIFY(printed.contains(QStringLiteral("<url>") + uploaded + QStringLiteral("</url>")));
}

void TestHeadlessShare::failedShare_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    // Signed in, a fault server answers the upload: 1 huge, 2 dripping.
    QTest::addColumn<int>("uploadFault");
    QTest::addColumn<unsigned long>("code");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("backTo");
    QTest::newRow("wrong password") << HostFixture::userName << QStringLiteral("not the password")
                                    << 0 << 2ul << QString() << int(WizardHost::SignIn);
    QTest::newRow("unknown user") << QStringLiteral("nobody_here") << HostFixture::password << 0
                                  << 2ul << QString() << int(WizardHost::SignIn);
    // Neither read whole nor waited for without end.
    QTest::newRow("upload answer too large")
        << HostFixture::userName << HostFixture::password << 1 << 0ul
        << QStringLiteral("reply larger than 1 MiB") << int(WizardHost::Review);
    QTest::newRow("upload answer drips")
        << HostFixture::userName << HostFixture::password << 2 << 0ul
        << QStringLiteral("timed out after") << int(WizardHost::Review);
}

void TestHeadlessShare::failedShare()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, uploadFault);
    QFETCH(unsigned long, code);
    QFETCH(QString, reason);
    QFETCH(int, backTo);
    using Script = LoopbackServer::Script;
    LoopbackServer api;
    if (uploadFault) {
        QVERIFY(HostFixture::storeAccessToken(user, password));
        const Script fault = uploadFault == 1
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
        QVERIFY(api.listen({ Script::answer(404, QByteArray()) }));
        IsolatedSettings::set(TwitterSettings::apiUrlKey, api.url().toString());
        IsolatedSettings::set(TwitterSettings::timeoutKey, 300);
    }
    QString printed;
    QTextStream out(&printed);
    HeadlessShare::Options options;
    options.clip = m_fixture.clip(0);
    options.user = user;
    options.password = password;
    options.text = QStringLiteral("never posted");
    options.timeoutMs = 30000;
    HeadlessShare share(options, out);
    QSignalSpy finished(&share, &HeadlessShare::finished);
    share.start();
    QVERIFY(finished.wait(40000));
    QCOMPARE(finished.first().at(0).toBool(), false);

    WizardHost *wizard = share.session()->wizard();
    QCOMPARE(wizard->currentPage(), WizardHost::Error);
    QCOMPARE(wizard->errorPage()->code(), code);
    QVERIFY(share.failure().startsWith(ErrorPage::explain(code)));
    QVERIFY2(share.failure().contains(reason), qPrintable(share.failure()));
    QVERIFY(printed.contains(QStringLiteral("share failed: ")));
    // Nothing was uploaded or badged.
    QVERIFY(HostFixture::badgeUrl(options.clip, HostContract::videoUploadAppId()).isEmpty());
    QVERIFY(HostFixture::badgeUrl(options.clip, HostContract::ownAppId()).isEmpty());
    QTest::mouseClick(wizard->backButton(), Qt::LeftButton);
    QTRY_COMPARE(int(wizard->currentPage()), backTo);
}

QTEST_MAIN(TestHeadlessShare)
#include "tst_headlessshare.moc"
