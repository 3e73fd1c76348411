// The host's pages and windows on their own: what they count, parse, accept
// and show for each thing the plug-in can send.
#include "appletmanager.h"
#include "composepage.h"
#include "controller/hostcontract.h"
#include "errorpage.h"
#include "reviewpage.h"
#include "settingsdialog.h"
#include "signinpage.h"
#include "wizardhost.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

using Pairs = QList<QPair<QString, QString>>;

class TestHostPages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tweetLength_data();
    void tweetLength();
    void composeNext_data();
    void composeNext();
    void shortLinkInText();
    void parseRecord_data();
    void parseRecord();
    void signInReport_data();
    void signInReport();
    void describeLimits_data();
    void describeLimits();
    void settingsValue_data();
    void settingsValue();
    void wizardFlags_data();
    void wizardFlags();
    void closeHandshake();
};

void TestHostPages::tweetLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("length");
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("plain") << QStringLiteral("hello") << 5;
    QTest::newRow("a long link counts 23")
        << QStringLiteral("see https://example.com/a/very/long/path/indeed/yes") << 4 + 23;
    QTest::newRow("a short link counts 23 too") << QStringLiteral("http://a.b") << 23;
    QTest::newRow("two links and text")
        << QStringLiteral("a http://x.y/1 b HTTPS://x.y/2") << 2 + 23 + 3 + 23;
    QTest::newRow("not a link") << QStringLiteral("ftp://x.y") << 9;
    QTest::newRow("code points, not UTF-16 units") << QStringLiteral("😀😀ü") << 3;
}

void TestHostPages::tweetLength()
{
    QFETCH(QString, text);
    QFETCH(int, length);
    QCOMPARE(ComposePage::tweetLength(text), length);
}

void TestHostPages::composeNext_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("280 characters") << QString(280, u'x') << true;
    QTest::newRow("281 characters") << QString(281, u'x') << false;
    QTest::newRow("257 and a link")
        << QString(256, u'x') + QStringLiteral(" http://s.x/abc") << true;
    QTest::newRow("258 and a link")
        << QString(257, u'x') + QStringLiteral(" http://s.x/abc") << false;
    QTest::newRow("blank") << QStringLiteral("  \n ") << false;
    // The record form would cut the text at these.
    QTest::newRow("pair separator") << QStringLiteral("a <> b") << false;
    QTest::newRow("value separator") << QStringLiteral("a || b") << false;
    QTest::newRow("single bars and brackets") << QStringLiteral("a | b < c > d") << true;
}

void TestHostPages::composeNext()
{
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    WizardHost wizard;
    wizard.showPage(WizardHost::Compose);
    wizard.composePage()->setUserText(text);
    QCOMPARE(wizard.nextButton()->isEnabled(), enabled);
    QSignalSpy next(wizard.composePage(), &WizardPage::nextClicked);
    QTest::mouseClick(wizard.nextButton(), Qt::LeftButton);
    // The tweet is on its way: another press sends nothing.
    QTest::mouseClick(wizard.nextButton(), Qt::LeftButton);
    QCOMPARE(next.size(), enabled ? 1 : 0);
    QVERIFY(!wizard.nextButton()->isEnabled());
    // Back from the error page the same text can go again.
    wizard.showPage(WizardHost::Error);
    wizard.showPage(WizardHost::Compose);
    QTRY_COMPARE(wizard.nextButton()->isEnabled(), enabled);
}

void TestHostPages::shortLinkInText()
{
    ComposePage page;
    QSignalSpy reports(&page, &WizardPage::reportInfo);
    page.setUserText(QStringLiteral("my clip"));
    page.onSendInfo(QStringLiteral("http://s/1"), HostContract::InfoKind::ShortUrl);
    QCOMPARE(page.text(), QStringLiteral("my clip http://s/1"));
    // A new link replaces the old one instead of piling up.
    page.onSendInfo(QStringLiteral("http://s/2"), HostContract::InfoKind::ShortUrl);
    QCOMPARE(page.text(), QStringLiteral("my clip http://s/2"));
    page.onSendInfo(QString(), HostContract::InfoKind::ReportNow);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first().at(0).toString(), QStringLiteral("description||my clip http://s/2"));
    QCOMPARE(reports.first().at(1).value<unsigned long>(), HostContract::InfoKind::Tweet);
}

void TestHostPages::parseRecord_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Pairs>("pairs");
    QTest::newRow("empty") << QString() << Pairs {};
    QTest::newRow("three pairs") << QStringLiteral("author||bob<>password||**********<>remember||1")
                                 << Pairs { { QStringLiteral("author"), QStringLiteral("bob") },
                                        { QStringLiteral("password"),
                                            QStringLiteral("**********") },
                                        { QStringLiteral("remember"), QStringLiteral("1") } };
    QTest::newRow("empty value") << QStringLiteral("remember||")
                                 << Pairs { { QStringLiteral("remember"), QString() } };
    QTest::newRow("stops at a bad pair") << QStringLiteral("a||1<>broken<>b||2")
                                         << Pairs { { QStringLiteral("a"), QStringLiteral("1") } };
}

void TestHostPages::parseRecord()
{
    QFETCH(QString, text);
    QFETCH(Pairs, pairs);
    const QHash<QString, QString> record = WizardPage::parseRecord(text);
    QCOMPARE(record.size(), pairs.size());
    for (const auto &pair : std::as_const(pairs))
        QCOMPARE(record.value(pair.first, QStringLiteral("(missing)")), pair.second);
}

void TestHostPages::signInReport_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("remember");
    QTest::addColumn<bool>("nextEnabled");
    QTest::newRow("plain") << QStringLiteral("secret") << false << true;
    QTest::newRow("remembered, odd characters") << QStringLiteral("p&a%s=s ü|<") << true << true;
    QTest::newRow("separator in the password") << QStringLiteral("a||b") << false << false;
    QTest::newRow("empty password") << QString() << false << false;
}

void TestHostPages::signInReport()
{
    QFETCH(QString, password);
    QFETCH(bool, remember);
    QFETCH(bool, nextEnabled);
    SignInPage page;
    page.setCredentials(QStringLiteral("bob"), password, remember);
    QCOMPARE(page.canGoNext(), nextEnabled);
    if (!nextEnabled)
        return;
    QSignalSpy reports(&page, &WizardPage::reportInfo);
    page.onSendInfo(QString(), HostContract::InfoKind::ReportNow);
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.first().at(1).value<unsigned long>(), HostContract::InfoKind::SignIn);
    const QHash<QString, QString> record
        = WizardPage::parseRecord(reports.first().at(0).toString());
    QCOMPARE(record.value(QStringLiteral("author")), QStringLiteral("bob"));
    QCOMPARE(record.value(QStringLiteral("password")), password);
    QCOMPARE(record.value(QStringLiteral("remember")),
        remember ? QStringLiteral("1") : QStringLiteral("0"));

    // Once the plug-in confirms, the page shows the screen name and may go on.
    page.onSendInfo(QStringLiteral("Bob B."), HostContract::InfoKind::UserName);
    page.onSendInfo(QStringLiteral("author||bobby<>password||**********<>remember||1"),
        HostContract::InfoKind::SignIn);
    QCOMPARE(page.signedInName(), QStringLiteral("Bob B."));
    QVERIFY(page.findChild<QPushButton *>(QStringLiteral("signOut"))->isVisibleTo(&page));
}

void TestHostPages::describeLimits_data()
{
    QTest::addColumn<QString>("ls");
    QTest::addColumn<QString>("text");
    QTest::newRow("a photo") << QStringLiteral("0(!)0(!)1(!)0(!)/x/photo.jpg[!]32")
                             << QStringLiteral("photo.jpg is not a video.");
    QTest::newRow("two videos") << QStringLiteral("0(!)0(!)1(!)16(!)")
                                << QStringLiteral("Select only 1 item(s).");
    QTest::newRow("too large and too long")
        << QStringLiteral("9(!)5(!)1(!)0(!)/v/a.mp4[!]4<!>/v/b.mp4[!]8")
        << QStringLiteral("a.mp4 is too large.\nb.mp4 runs too long.");
    QTest::newRow("not a limits text")
        << QStringLiteral("garbage") << QStringLiteral("The selection cannot be shared.");
}

void TestHostPages::describeLimits()
{
    QFETCH(QString, ls);
    QFETCH(QString, text);
    QCOMPARE(ReviewPage::describeLimits(ls), text);
}

void TestHostPages::settingsValue_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("https host") << QStringLiteral("api_url")
                                << QStringLiteral("https://api.example.org") << true;
    QTest::newRow("http host and port")
        << QStringLiteral("web_url") << QStringLiteral("http://127.0.0.1:8080") << true;
    QTest::newRow("empty means default") << QStringLiteral("shortener_url") << QString() << true;
    QTest::newRow("other scheme") << QStringLiteral("api_url")
                                  << QStringLiteral("ftp://example.org") << false;
    QTest::newRow("no host") << QStringLiteral("api_url") << QStringLiteral("https://") << false;
    QTest::newRow("query") << QStringLiteral("api_url") << QStringLiteral("https://h/?a=1")
                           << false;
    QTest::newRow("credentials") << QStringLiteral("api_url") << QStringLiteral("https://u:p@h")
                                 << false;
    QTest::newRow("missing certificate file")
        << QStringLiteral("ca_certificates") << QStringLiteral("/nonexistent/ca.pem") << false;
}

void TestHostPages::settingsValue()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, accepted);
    QCOMPARE(SettingsDialog::checkValue(key, value).isEmpty(), accepted);
}

void TestHostPages::wizardFlags_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<unsigned long>("flags");
    QTest::addColumn<int>("page");
    QTest::newRow("start with token")
        << QByteArray("onStartUploadWizard") << 16ul << int(WizardHost::Review);
    QTest::newRow("start without token")
        << QByteArray("onStartUploadWizard") << 32ul << int(WizardHost::SignIn);
    QTest::newRow("restart") << QByteArray("onStartUploadWizard") << 0ul << int(WizardHost::Review);
    QTest::newRow("sign-in requested")
        << QByteArray("onResumeWizard") << 0ul << int(WizardHost::SignIn);
    QTest::newRow("back from must-upload")
        << QByteArray("onResumeWizard") << 16ul << int(WizardHost::Review);
    QTest::newRow("resume at sign-in")
        << QByteArray("onResumeWizard") << 32ul << int(WizardHost::SignIn);
    QTest::newRow("resume 0x800") << QByteArray("onResumeWizard") << 64ul
                                  << int(WizardHost::Review);
    QTest::newRow("upload done, signed in")
        << QByteArray("onResumeWizard") << 72ul << int(WizardHost::Compose);
    QTest::newRow("must upload") << QByteArray("onShowMustUpload") << 0ul
                                 << int(WizardHost::MustUpload);
    QTest::newRow("must upload at start")
        << QByteArray("onShowMustUpload") << 8ul << int(WizardHost::Compose);
    QTest::newRow("tweet sent") << QByteArray("onShowWelcome") << 16ul << int(WizardHost::Result);
    QTest::newRow("batch done") << QByteArray("onShowWelcome") << 24ul << int(WizardHost::Result);
    for (unsigned long code : { 2ul, 4ul, 8ul, 32ul, 1024ul, 2048ul })
        QTest::addRow("error %lu", code)
            << QByteArray("onShowError") << code << int(WizardHost::Error);
}

void TestHostPages::wizardFlags()
{
    QFETCH(QByteArray, slot);
    QFETCH(unsigned long, flags);
    QFETCH(int, page);
    WizardHost wizard;
    // From the tweet page, so that a request that changes nothing shows.
    wizard.showPage(WizardHost::Compose);
    QVERIFY(QMetaObject::invokeMethod(&wizard, slot.constData(), Q_ARG(unsigned long, flags)));
    QCOMPARE(int(wizard.currentPage()), page);
    if (page == WizardHost::Error) {
        QCOMPARE(wizard.errorPage()->code(), flags);
        QVERIFY(wizard.errorPage()->text().startsWith(ErrorPage::explain(flags)));
        QVERIFY(ErrorPage::explain(flags) != ErrorPage::explain(0));
    }
}

void TestHostPages::closeHandshake()
{
    AppletManager manager;
    QSignalSpy ask(&manager, &AppletManager::requestSNAppReadyToClose);
    QSignalSpy closed(&manager, &AppletManager::pluginClosed);
    // An answer nobody asked for closes nothing.
    manager.onSNAppReadyToClose(HostContract::ownAppId(), true, 0);
    QCOMPARE(closed.size(), 0);
    manager.onAppRequest(HostContract::videoUploadAppId(), 3);
    manager.onAppRequest(HostContract::ownAppId(), 4);
    QCOMPARE(ask.size(), 1);
    QCOMPARE(ask.first().at(0).toString(), HostContract::ownAppId());
    manager.onSNAppReadyToClose(HostContract::trayAppId(), true, 0);
    manager.onSNAppReadyToClose(HostContract::ownAppId(), false, 0);
    QCOMPARE(closed.size(), 0);
    manager.onSNAppReadyToClose(HostContract::ownAppId(), true, 6);
    QCOMPARE(closed.size(), 1);
}

QTEST_MAIN(TestHostPages)
#include "tst_hostpages.moc"
