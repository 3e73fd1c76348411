// The gallery and each wizard page on a real X server: screenshots saved in
// the build folder, checked for content and for the widgets each must show.
#include "hostfixture.h"

#include "appletmanager.h"
#include "composepage.h"
#include "controller/hostcontract.h"
#include "errorpage.h"
#include "gallerywindow.h"
#include "headlessshare.h"
#include "progresspage.h"
#include "reviewpage.h"
#include "sharesession.h"
#include "thumbnailgrid.h"
#include "wizardhost.h"

#include "badges/badger.h"

#include <QLabel>
#include <QListWidget>
#include <QMetaEnum>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTextStream>

namespace {

// Distinct colours of an image: a blank or one-colour window has very few.
int distinctColours(const QImage &image)
{
    QSet<QRgb> colours;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); y += 2) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); x += 2)
            colours.insert(line[x]);
    }
    return int(colours.size());
}

QString pageName(WizardHost::Page page)
{
    return QString::fromLatin1(QMetaEnum::fromType<WizardHost::Page>().valueToKey(page)).toLower();
}

} // namespace

class TestGalleryGui : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void gallery();
    void wizardPages_data();
    void wizardPages();

private:
    static QString save(QWidget *widget, const QString &name);
    HostFixture m_fixture;
};

void TestGalleryGui::init()
{
    QString error;
    QVERIFY2(m_fixture.setUp(&error, 3), qPrintable(error));
}

void TestGalleryGui::cleanup()
{
    m_fixture.tearDown();
}

QString TestGalleryGui::save(QWidget *widget, const QString &name)
{
    const QImage shot = widget->grab().toImage();
    const QString path = HostFixture::screenshotDir() + u'/' + name + QStringLiteral(".png");
    if (!shot.save(path))
        return QString();
    // A window with text, buttons and pictures has far more than a handful.
    if (distinctColours(shot) < 12)
        return QString();
    return path;
}

void TestGalleryGui::gallery()
{
    GalleryWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // The video tab lists the three clips.
    ThumbnailGrid *videos = nullptr;
    QStringList tabs;
    for (int i = 0; i < window.tabs()->count(); ++i) {
        auto *grid = qobject_cast<ThumbnailGrid *>(window.tabs()->widget(i));
        tabs.append(
            window.tabs()->tabText(i) + QStringLiteral(": %1").arg(grid ? grid->count() : -1));
        if (grid && grid->count() == 3)
            videos = grid;
    }
    QVERIFY2(videos, qPrintable(tabs.join(QStringLiteral(", "))));
    window.tabs()->setCurrentWidget(videos);
    QVERIFY(!window.shareAction()->isEnabled());
    videos->item(0)->setSelected(true);
    QVERIFY(window.shareAction()->isEnabled());
    QCOMPARE(videos->selectedPaths(), QStringList { m_fixture.clip(0) });
    QVERIFY(!videos->item(0)->icon().isNull());

    // A badge recorded on disk shows up in the tooltip without a reload.
    const QString link = QStringLiteral("http://127.0.0.1:9/v/abc");
    Badger badger;
    QVERIFY(badger.badgeContent(HostContract::videoUploadAppId(), link, m_fixture.clip(1), 0));
    QTRY_VERIFY2_WITH_TIMEOUT(
        videos->item(1)->toolTip().contains(QStringLiteral("Video upload: ") + link),
        qPrintable(videos->item(1)->toolTip()), 10000);
    QVERIFY(!videos->item(0)->toolTip().contains(link));

    const QString shot = save(&window, QStringLiteral("gallery"));
    QVERIFY2(!shot.isEmpty(), "the gallery screenshot is blank or was not saved");
    qInfo("screenshot %s", qPrintable(shot));
}

void TestGalleryGui::wizardPages_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QList<int>>("pages");
    QTest::newRow("share") << HostFixture::password
                           << QList<int> { WizardHost::SignIn, WizardHost::Review,
                                  WizardHost::MustUpload, WizardHost::Progress, WizardHost::Compose,
                                  WizardHost::Result };
    QTest::newRow("refused") << QStringLiteral("wrong") << QList<int> { WizardHost::Error };
}

void TestGalleryGui::wizardPages()
{
    QFETCH(QString, password);
    QFETCH(QList<int>, pages);
    QString printed;
    QTextStream out(&printed);
    HeadlessShare::Options options;
    options.clip = m_fixture.clip(0);
    options.user = HostFixture::userName;
    options.password = password;
    options.text = QStringLiteral("Screenshot run");
    HeadlessShare share(options, out);
    QSignalSpy finished(&share, &HeadlessShare::finished);
    QStringList problems;
    QStringList shots;
    share.start();
    WizardHost *wizard = share.session()->wizard();
    // Each page as it comes, before the driver moves on.
    const auto check = [&](WizardHost::Page page) {
        const auto visible = [wizard](const char *name) {
            auto *widget = wizard->findChild<QWidget *>(QLatin1String(name));
            return widget && widget->isVisibleTo(wizard);
        };
        QStringList expected;
        switch (page) {
        case WizardHost::SignIn:
            expected = { QStringLiteral("userName"), QStringLiteral("password"),
                QStringLiteral("remember") };
            break;
        case WizardHost::Review:
            expected = { QStringLiteral("selectedItems"), QStringLiteral("verdict") };
            break;
        case WizardHost::MustUpload:
            expected = { QStringLiteral("mustUploadText") };
            break;
        case WizardHost::Progress:
            expected = { QStringLiteral("progressBar"), QStringLiteral("progressMessage") };
            break;
        case WizardHost::Compose:
            expected = { QStringLiteral("tweetText"), QStringLiteral("counter"),
                QStringLiteral("shortLink") };
            break;
        case WizardHost::Result:
            expected = { QStringLiteral("resultMessage") };
            break;
        case WizardHost::Error:
            expected = { QStringLiteral("errorExplanation"), QStringLiteral("errorDetail") };
            break;
        default:
            break;
        }
        // What the page shows, besides its widgets.
        const bool content = page == WizardHost::Review
            ? wizard->reviewPage()->paths() == QStringList { options.clip }
            : page == WizardHost::Compose ? !wizard->composePage()->shortLink().isEmpty()
                && wizard->composePage()->text().contains(wizard->composePage()->shortLink())
            : page == WizardHost::Progress ? wizard->progressPage()->value() == 100
            : page == WizardHost::Error    ? wizard->errorPage()->code() == 2
                                           : true;
        if (!content)
            problems.append(pageName(page) + QStringLiteral(": not what it should show"));
        for (const QString &name : std::as_const(expected)) {
            if (!visible(qPrintable(name)))
                problems.append(pageName(page) + QStringLiteral(": no ") + name);
        }
        const QString shot = save(wizard,
            QStringLiteral("wizard-") + QString::fromLatin1(QTest::currentDataTag()) + u'-'
                + pageName(page));
        if (shot.isEmpty())
            problems.append(pageName(page) + QStringLiteral(": blank screenshot"));
        else
            shots.append(shot);
    };
    QList<int> seen;
    connect(wizard, &WizardHost::pageChanged, this, [&](WizardHost::Page page) {
        seen.append(page);
        // Final pages are complete when shown.
        if (page == WizardHost::Result || page == WizardHost::Error)
            check(page);
    });
    // The others just before the driver leaves them, with all they received.
    connect(
        wizard->nextButton(), &QPushButton::pressed, this, [&] { check(wizard->currentPage()); });
    connect(share.session()->appletManager(), &AppletManager::uploadFinished, this, [&] {
        if (wizard->currentPage() == WizardHost::Progress)
            check(WizardHost::Progress);
    });
    wizard->show();
    QVERIFY(finished.wait(60000));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    for (int page : std::as_const(pages))
        QVERIFY2(seen.contains(page),
            qPrintable(pageName(WizardHost::Page(page)) + QStringLiteral(" never shown")));
    for (const QString &shot : std::as_const(shots))
        qInfo("screenshot %s", qPrintable(shot));
}

QTEST_MAIN(TestGalleryGui)
#include "tst_gallerygui.moc"
