// The gallery and each wizard page on a real X server: screenshots saved in
// the build folder, each checked for what its page must show.
#include "hostfixture.h"

#include "appletmanager.h"
#include "controller/hostcontract.h"
#include "gallerywindow.h"
#include "headlessshare.h"
#include "sharesession.h"
#include "thumbnailgrid.h"

#include <QMetaEnum>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextStream>

class TestGalleryGui : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY2(m_fixture.setUp(&m_error, 3), qPrintable(m_error)); }
    void cleanup() { m_fixture.tearDown(); }
    void gallery();
    void wizardPages_data();
    void wizardPages();

private:
    // Saves a screenshot; false when it was not saved or is blank (a window
    // with text, buttons and pictures has far more than a few colours).
    static bool save(QWidget *widget, const QString &name)
    {
        const QImage shot = widget->grab().toImage();
        const QString dir
            = qEnvironmentVariable("ZPV_SCREENSHOT_DIR", QStringLiteral("screenshots"));
        QSet<QRgb> colours;
        for (int i = 0; i < shot.width() * shot.height(); i += 5)
            colours.insert(shot.pixel(i % shot.width(), i / shot.width()));
        return QDir().mkpath(dir) && shot.save(dir + u'/' + name + QStringLiteral(".png"))
            && colours.size() >= 12;
    }

    HostFixture m_fixture;
    QString m_error;
};

void TestGalleryGui::gallery()
{
    GalleryWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The video tab lists the three clips, and sharing needs a selection.
    ThumbnailGrid *videos = window.findChild<ThumbnailGrid *>(QStringLiteral("Videos"));
    QVERIFY(videos);
    QCOMPARE(videos->count(), 3);
    window.tabs()->setCurrentWidget(videos);
    QVERIFY(!window.shareAction()->isEnabled());
    videos->item(0)->setSelected(true);
    QVERIFY(window.shareAction()->isEnabled());
    QCOMPARE(videos->selectedPaths(), QStringList { m_fixture.clip(0) });
    QVERIFY(!videos->item(0)->icon().isNull());
    // A badge recorded on disk shows up in the tooltip without a reload.
    const QString link = QStringLiteral("http://127.0.0.1:9/v/abc");
    QVERIFY(Badger().badgeContent(HostContract::videoUploadAppId(), link, m_fixture.clip(1), 0));
    QTRY_VERIFY_WITH_TIMEOUT(
        videos->item(1)->toolTip().contains(QStringLiteral("Video upload: ") + link), 10000);
    QVERIFY(!videos->item(0)->toolTip().contains(link));
    QVERIFY(save(&window, QStringLiteral("gallery")));
}

void TestGalleryGui::wizardPages_data()
{
    QTest::addColumn<bool>("x");
    QTest::addColumn<QString>("password");
    // A text each page must show, in the order the pages come.
    QTest::addColumn<QStringList>("shows");
    QTest::newRow("share") << false << HostFixture::password
                           << QStringList { HostFixture::userName,
                                  QStringLiteral("no web link yet"),
                                  QStringLiteral("this video has not been"), QStringLiteral("100%"),
                                  QStringLiteral("Link: http://127.0.0.1:"),
                                  QStringLiteral("Your tweet was sent") };
    QTest::newRow("refused") << false << QStringLiteral("wrong")
                             << QStringList { HostFixture::userName,
                                    QStringLiteral("did not accept the user name or password") };
    QTest::newRow("x-flavour") << true << QString()
                               << QStringList { QStringLiteral("Open the sign-in page"),
                                      QStringLiteral("Your tweet was sent") };
}

void TestGalleryGui::wizardPages()
{
    QFETCH(bool, x);
    QFETCH(QString, password);
    QFETCH(QStringList, shows);
    if (x)
        HostFixture::useXFlavor();
    QString printed;
    QTextStream out(&printed);
    HeadlessShare share(
        { m_fixture.clip(0), HostFixture::userName, password, QString(), false, 60000 }, out);
    QSignalSpy finished(&share, &HeadlessShare::finished);
    share.start();
    WizardHost *wizard = share.session()->wizard();
    int shown = 0;
    // Each page as it comes, before the driver moves on: saved once it shows
    // its text (each text is on its own page only).
    const auto check = [&](WizardHost::Page page) {
        QStringList texts;
        for (const QWidget *widget : wizard->findChildren<QWidget *>()) {
            if (widget->isVisible())
                texts << widget->property("text").toString()
                      << widget->property("plainText").toString();
        }
        const QString name
            = QString::fromLatin1(QMetaEnum::fromType<WizardHost::Page>().valueToKey(page))
                  .toLower();
        if (shown < shows.size() && texts.join(u'\n').contains(shows.at(shown))
            && save(wizard,
                QStringLiteral("wizard-%1-%2").arg(QLatin1String(QTest::currentDataTag()), name)))
            ++shown;
    };
    // Final pages are complete when shown, the others just before the driver
    // leaves them, with all they received.
    connect(wizard, &WizardHost::pageChanged, this, [&](WizardHost::Page page) {
        if (page == WizardHost::Result || page == WizardHost::Error)
            check(page);
    });
    connect(
        wizard->nextButton(), &QPushButton::pressed, this, [&] { check(wizard->currentPage()); });
    connect(share.session()->appletManager(), &AppletManager::uploadFinished, this, [&] {
        if (wizard->currentPage() == WizardHost::Progress)
            check(WizardHost::Progress);
    });
    wizard->show();
    QVERIFY(finished.wait(60000));
    QCOMPARE(shown, shows.size());
}

QTEST_MAIN(TestGalleryGui)
#include "tst_gallerygui.moc"
