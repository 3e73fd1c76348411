// What the host's own pieces decide without the plug-in: the tweet counter
// and its Next button, the short link in the text, the close handshake and
// the settings the dialog stores.
#include "appletmanager.h"
#include "common/isolatedsettings.h"
#include "composepage.h"
#include "controller/hostcontract.h"
#include "settingsdialog.h"
#include "wizardhost.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace HostContract;

class TestHostPages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void compose_data();
    void compose();
    void closeHandshake();
    void settingsSaved();
};

void TestHostPages::compose_data()
{
    QTest::addColumn<QString>("text");
    // The tweet's length on the counter; -1: the counter says it cannot go.
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("enabled");
    // The length in the x flavour, which weighs characters as the service does.
    QTest::addColumn<int>("weighted");
    QTest::newRow("280 characters") << QString(280, u'x') << 280 << true << 280;
    QTest::newRow("281 characters") << QString(281, u'x') << 281 << false << 281;
    // Every link counts 23, however long or short.
    QTest::newRow("257 and a long link")
        << QString(256, u'x') + QStringLiteral(" https://example.com/a/very/long/path/indeed")
        << 280 << true << 280;
    QTest::newRow("258 and a short link")
        << QString(257, u'x') + QStringLiteral(" http://a.b") << 281 << false << 281;
    QTest::newRow("two links, any case")
        << QStringLiteral("a http://x.y/1 b HTTPS://x.y/2") << 2 + 23 + 3 + 23 << true << 51;
    QTest::newRow("not a link") << QStringLiteral("ftp://x.y") << 9 << true << 9;
    QTest::newRow("code points, not UTF-16 units")
        << QString(QStringLiteral("😀")).repeated(280) << 280 << true << 560;
    QTest::newRow("blank") << QStringLiteral("  \n ") << 4 << false << 4;
    // The record form would cut the text at these.
    QTest::newRow("pair separator") << QStringLiteral("a <> b") << -1 << false << 6;
    QTest::newRow("value separator") << QStringLiteral("a || b") << -1 << false << 6;
    QTest::newRow("CJK") << QString(141, u'中') << 141 << true << 282;
    // A family, a flag, a keycap and a thumb with its skin tone: two each.
    QTest::newRow("emoji sequences")
        << QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467\U0001F1E9\U0001F1EA"
                          "1\uFE0F\u20E3\U0001F44D\U0001F3FD")
        << 12 << true << 8;
    // Composed first; the curly apostrophe is light punctuation, the ellipsis is not.
    QTest::newRow("NFC and punctuation") << QStringLiteral("e\u0301\u2019\u2026") << 4 << true << 4;
}

void TestHostPages::compose()
{
    QFETCH(QString, text);
    QFETCH(int, length);
    QFETCH(bool, enabled);
    QFETCH(int, weighted);
    QCOMPARE(ComposePage::tweetLength(text, true), weighted);
    {
        IsolatedSettings isolated;
        IsolatedSettings::set(TwitterSettings::apiFlavorKey, QStringLiteral("x"));
        WizardHost x;
        x.composePage()->setUserText(text);
        if (length >= 0)
            QCOMPARE(x.findChild<QLabel *>(QStringLiteral("counter"))->text().section(u' ', 0, 0),
                QString::number(ComposePage::maxLength - weighted));
    }
    IsolatedSettings isolated;
    WizardHost wizard;
    wizard.showPage(WizardHost::Compose);
    wizard.composePage()->setUserText(text);
    QCOMPARE(wizard.nextButton()->isEnabled(), enabled);
    // The counter shows what is left, or (-1) why the text cannot go.
    const QString counter = wizard.findChild<QLabel *>(QStringLiteral("counter"))->text();
    if (length < 0)
        QVERIFY2(counter.contains(QStringLiteral("cannot contain")), qPrintable(counter));
    else
        QCOMPARE(counter.section(u' ', 0, 0).toInt(), ComposePage::maxLength - length);
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
    // A new link (a new upload) replaces the old one instead of piling up.
    wizard.composePage()->onSendInfo(QStringLiteral("http://s/1"), InfoKind::ShortUrl);
    wizard.composePage()->onSendInfo(QStringLiteral("http://s/2"), InfoKind::ShortUrl);
    QCOMPARE(wizard.composePage()->text(), text + QStringLiteral(" http://s/2"));
}

void TestHostPages::closeHandshake()
{
    // The plug-in leaves only once asked and then ready.
    AppletManager manager;
    QSignalSpy ask(&manager, &AppletManager::requestSNAppReadyToClose);
    QSignalSpy closed(&manager, &AppletManager::pluginClosed);
    manager.onSNAppReadyToClose(ownAppId(), true, 0);
    manager.onAppRequest(ownAppId(), AppRequest::Hide);
    QCOMPARE(ask.size(), 0);
    manager.onAppRequest(ownAppId(), AppRequest::Close);
    QCOMPARE(ask.size(), 1);
    manager.onSNAppReadyToClose(trayAppId(), true, 0);
    manager.onSNAppReadyToClose(ownAppId(), false, 0);
    QCOMPARE(closed.size(), 0);
    manager.onSNAppReadyToClose(ownAppId(), true, CloseDown::Later);
    QCOMPARE(closed.size(), 1);
}

void TestHostPages::settingsSaved()
{
    IsolatedSettings isolated;
    const QString api = QLatin1String(TwitterSettings::apiUrlKey);
    const QString web = QLatin1String(TwitterSettings::webUrlKey);
    IsolatedSettings::set(TwitterSettings::webUrlKey, QStringLiteral("http://127.0.0.1:1"));
    SettingsDialog dialog;
    QSettings stored(
        QLatin1String(TwitterSettings::organisation), QLatin1String(TwitterSettings::application));
    stored.beginGroup(QLatin1String(TwitterSettings::group));
    // One unacceptable field (a password in the address) and nothing is stored.
    dialog.field(api)->setText(QStringLiteral("https://u:p@127.0.0.1"));
    dialog.field(web)->clear();
    QString error;
    QVERIFY(!dialog.save(&error) && error.contains(QStringLiteral("https://u:p@127.0.0.1")));
    stored.sync();
    QVERIFY(!stored.contains(api) && stored.contains(web));
    // Accepted: stored, the empty field removed, the file (which also holds
    // the token) kept from other users.
    dialog.field(api)->setText(QStringLiteral(" http://127.0.0.1:8080 "));
    QVERIFY2(dialog.save(&error), qPrintable(error));
    stored.sync();
    QCOMPARE(stored.value(api).toString(), QStringLiteral("http://127.0.0.1:8080"));
    QVERIFY(!stored.contains(web));
    // The x flavour with its consumer pair, which goes into every request's header.
    dialog.flavor()->setCurrentIndex(1);
    dialog.field(QLatin1String(TwitterSettings::consumerKeyKey))->setText(QStringLiteral("my key"));
    dialog.field(QLatin1String(TwitterSettings::consumerSecretKey))->setText(QStringLiteral("S3"));
    QVERIFY(!dialog.save(&error) && !TwitterSettings::xFlavor());
    dialog.field(QLatin1String(TwitterSettings::consumerKeyKey))->setText(QStringLiteral("K1"));
    QVERIFY2(dialog.save(&error), qPrintable(error));
    QVERIFY(TwitterSettings::xFlavor() && TwitterSettings::consumerKey() == QLatin1String("K1")
        && TwitterSettings::consumerSecret() == QLatin1String("S3"));
    QCOMPARE(int(QFile::permissions(stored.fileName()) & 0x0077), 0);
}

QTEST_MAIN(TestHostPages)
#include "tst_hostpages.moc"
