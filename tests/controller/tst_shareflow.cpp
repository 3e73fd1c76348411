// The share flow end to end inside the test host: the bundled service signs
// in, shortens and posts; a test-side video upload applet records the
// video's link in its badge; the badges are read back from the files.
#include "badges/badger.h"
#include "catalog/contentinfo.h"
#include "common/isolatedsettings.h"
#include "common/loopbackserver.h"
#include "controllerfixture.h"
#include "mediafixtures.h"
#include "badges/badgeimagesfixture.h"
#include "twitter/twitter_core.h"
#include "twitterservice.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

const QString ownId = QStringLiteral("{BB23CC56-D53E-456e-BD39-5A8A8A394279}");
const QString uploadId = QStringLiteral("{D263A27F-C49A-4dd7-8C8B-A253CF319468}");
const QString userName = QStringLiteral("gallery_user");
const QString password = QStringLiteral("secret pw");

// The entry of appId in the badge of path; invalid when there is none.
QVariant badgeOf(const QString &path, const QString &appId)
{
    Badger badger;
    QString url;
    if (!badger.initialize(path) || !badger.getUrl(appId, url))
        return QVariant();
    return url;
}

// Body of a GET, or the redirect target when there is one.
QString fetch(const QString &url)
{
    QNetworkAccessManager manager;
    QNetworkRequest request { QUrl(url) };
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!finished.wait(5000))
        return QString();
    const QByteArray location = reply->rawHeader("Location");
    return QString::fromUtf8(location.isEmpty() ? reply->readAll() : location);
}

QString tweetRecord(const QString &description)
{
    return QStringLiteral("description||") + description;
}

} // namespace

// The video upload applet as the host starts it: it takes the video named
// in the content info and reports through the host's relays.
class UploadApplet : public QObject
{
    Q_OBJECT
public:
    enum Outcome { Uploads, Fails, ClosesWithoutResult };

    UploadApplet(TwitterCoreObject *controller, Outcome outcome, const QString &linkBase)
        : m_controller(controller)
        , m_outcome(outcome)
        , m_linkBase(linkBase)
    {
        connect(controller, SIGNAL(requestApp(const QString &, const QString &, unsigned long)),
            this, SLOT(onRequestApp(const QString &, const QString &, unsigned long)),
            Qt::QueuedConnection);
    }

    QStringList handed;
    QString link;

public Q_SLOTS:
    void onRequestApp(const QString &appid, const QString &data, unsigned long flags)
    {
        ContentInfo info;
        if (appid != uploadId || flags != 40 || !xmlToContentInfo(data, info))
            return;
        handed = info.paths;
        const QString path = info.paths.value(0);
        switch (m_outcome) {
        case Uploads:
            m_controller->onUploadStatus(uploadId, true, path, QString(), 0x1);
            link = m_linkBase + QStringLiteral("/v/")
                + QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(path).baseName()));
            if (!Badger().badgeContent(uploadId, link, path, 0))
                return;
            m_controller->onUploadStatus(uploadId, true, path, link, 0x2);
            m_controller->onAppClosed(uploadId, 0x6);
            break;
        case Fails:
            m_controller->onUploadStatus(uploadId, false, path, QString(), 0);
            break;
        case ClosesWithoutResult:
            m_controller->onAppClosed(uploadId, 0x4);
            break;
        }
    }

private:
    TwitterCoreObject *m_controller;
    Outcome m_outcome;
    QString m_linkBase;
};

Q_DECLARE_METATYPE(UploadApplet::Outcome)

class TestShareFlow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void mustUpload_data();
    void mustUpload();
    void deferredTweet();
    void tweet_data();
    void tweet();
    void tweetOnItsWay_data();
    void tweetOnItsWay();
    void shortLink_data();
    void shortLink();
    void hostBatchUploads_data();
    void hostBatchUploads();

private:
    QString base() const { return m_service->baseUrl().toString(); }
    QString newClip(const QString &name);
    // A page that takes images and reports (the paths of the selection and
    // whatever a test adds), and one that only listens to the text variant.
    void addPages(ControllerFixture &fixture, const QString &path);
    // Hands the video over the way the host does, up to the upload applet.
    void handOver(ControllerFixture &fixture);
    QString shortLinkOf(const QString &link);
    bool posted(const QString &text);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<TwitterService> m_service;
    WizardPage *m_reporter = nullptr;
    WizardPage *m_listener = nullptr;
};

void TestShareFlow::initTestCase()
{
    QVERIFY(buildBadgeImages(uploadId));
}

void TestShareFlow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = std::make_unique<IsolatedSettings>();
    QVERIFY(m_settings->isValid());
    ServiceOptions options;
    options.users.append({ userName, password });
    options.consumers.append(ServiceOptions::defaultConsumer());
    m_service = std::make_unique<TwitterService>(options);
    QString error;
    QVERIFY2(m_service->start(&error), qPrintable(error));
    IsolatedSettings::set(TwitterSettings::timeoutKey, 5000);
    for (const char *key : { TwitterSettings::apiUrlKey, TwitterSettings::webUrlKey,
             TwitterSettings::shortenerUrlKey })
        IsolatedSettings::set(key, base());

    // Signed in earlier with "remember": the token is stored.
    Twitter_core client(nullptr, 0);
    client.setSaveState(true);
    QSignalSpy signedIn(&client, &ITwitter_core::loginResult);
    QVERIFY(client.logIn(userName, password, 0));
    QTRY_COMPARE(signedIn.size(), 1);
    QVERIFY(signedIn.at(0).at(0).toBool());
}

void TestShareFlow::cleanup()
{
    m_service.reset();
    m_settings.reset();
    m_dir.reset();
}

QString TestShareFlow::newClip(const QString &name)
{
    const QString path = m_dir->filePath(name);
    return MediaFixtures::makeClip(path, 1.0) ? path : QString();
}

void TestShareFlow::addPages(ControllerFixture &fixture, const QString &path)
{
    m_listener = fixture.addPage(0);
    m_reporter = fixture.addPage(0x600);
    m_reporter->reports = { { path, 0x40 } };
}

void TestShareFlow::handOver(ControllerFixture &fixture)
{
    fixture.controller->onReviewNextBtn(true);
    fixture.controller->onNextMustUploadClicked(true);
    // The host minimised the plug-in's window.
    fixture.controller->onAppClosed(ownId, 0x4);
}

QString TestShareFlow::shortLinkOf(const QString &link)
{
    return fetch(base() + QStringLiteral("/api-create.php?url=")
        + QString::fromLatin1(QUrl::toPercentEncoding(link)));
}

bool TestShareFlow::posted(const QString &text)
{
    return fetch(base() + QStringLiteral("/home")).contains(text);
}

void TestShareFlow::mustUpload_data()
{
    QTest::addColumn<UploadApplet::Outcome>("outcome");
    QTest::addColumn<QList<QVariantList>>("appRequests");
    QTest::addColumn<QVariantList>("youTubeStatus");
    QTest::addColumn<bool>("broughtBack");

    QTest::newRow("uploaded") << UploadApplet::Uploads
                              << QList<QVariantList> { { uploadId, QVariant::fromValue(3ul) },
                                     { uploadId, QVariant::fromValue(4ul) } }
                              << ulongs({ 1, 0 }) << true;
    QTest::newRow("upload failed")
        << UploadApplet::Fails << QList<QVariantList> { { ownId, QVariant::fromValue(4ul) } }
        << ulongs({ 0 }) << false;
    QTest::newRow("closed without a result")
        << UploadApplet::ClosesWithoutResult
        << QList<QVariantList> { { ownId, QVariant::fromValue(4ul) } } << QVariantList {} << false;
}

void TestShareFlow::mustUpload()
{
    QFETCH(UploadApplet::Outcome, outcome);
    QFETCH(QList<QVariantList>, appRequests);
    QFETCH(QVariantList, youTubeStatus);
    QFETCH(bool, broughtBack);

    const QString clip = newClip(QStringLiteral("Holiday Clip.mp4"));
    QVERIFY(!clip.isEmpty());
    ControllerFixture fixture({ { clip, QImage() } });
    UploadApplet applet(fixture.controller, outcome, base());
    addPages(fixture, clip);
    fixture.start();
    QTRY_COMPARE(fixture.host->firstArguments("onShowMustUpload"), ulongs({ 8 }));

    handOver(fixture);
    QTRY_COMPARE(applet.handed, QStringList { clip });
    fixture.settle();
    QCOMPARE(fixture.host->firstArguments("onShowMustUpload"), ulongs({ 8, 0 }));
    QCOMPARE(fixture.host->calls("onStartMinimize"), QList<QVariantList> { { true } });
    QCOMPARE(fixture.host->calls("onAppRequest"), appRequests);
    QCOMPARE(fixture.host->firstArguments("onYouTubeStatus"), youTubeStatus);

    QList<QVariantList> requested = fixture.host->calls("onRequestApp");
    QCOMPARE(requested.size(), broughtBack ? 2 : 1);
    QCOMPARE(requested.at(0).at(0).toString(), uploadId);
    if (broughtBack)
        QCOMPARE(requested.at(1), QVariantList({ ownId, QString(), QVariant::fromValue(0ul) }));

    if (!broughtBack) {
        QTest::qWait(200);
        QVERIFY(m_listener->texts(0x10).isEmpty());
        QCOMPARE(badgeOf(clip, uploadId), QVariant());
        return;
    }
    // The link the applet recorded comes back short, and leads to it.
    QTRY_COMPARE(m_listener->texts(0x10).size(), 1);
    const QString shortUrl = m_listener->texts(0x10).first();
    QVERIFY2(shortUrl.startsWith(base() + QStringLiteral("/s/")), qPrintable(shortUrl));
    QCOMPARE(fetch(shortUrl), applet.link);
    QVERIFY(fixture.host->calls("onShowError").isEmpty());
}

void TestShareFlow::deferredTweet()
{
    const QString clip = newClip(QStringLiteral("clip.mp4"));
    QVERIFY(!clip.isEmpty());
    ControllerFixture fixture({ { clip, QImage() } });
    UploadApplet applet(fixture.controller, UploadApplet::Uploads, base());
    addPages(fixture, clip);
    fixture.start();
    handOver(fixture);
    // Asked for before the upload applet has even started.
    fixture.controller->onWizardUploadBtn(true);
    QTRY_COMPARE(m_listener->texts(0x10).size(), 1);
    const QString text = QStringLiteral("Deferred: ") + m_listener->texts(0x10).first();
    m_reporter->reports.append({ tweetRecord(text), 0x8000 });
    m_reporter->reports.append({ QStringLiteral("remember||1"), 0x1000 });

    QTest::qWait(300);
    QCOMPARE(fixture.host->calls("onStartMinimize"), (QList<QVariantList> { { true }, { true } }));
    // The plug-in stays hidden and nothing is posted yet.
    QCOMPARE(fixture.host->calls("onRequestApp").size(), 1);
    QVERIFY(fixture.host->calls("onShowWelcome").isEmpty());
    QVERIFY(!posted(text));

    fixture.controller->onShortUrlInPlace(0);
    QTRY_COMPARE(fixture.host->firstArguments("onShowWelcome"), ulongs({ 16 }));
    QVERIFY(posted(text));
    QCOMPARE(badgeOf(clip, ownId), QVariant(base() + QStringLiteral("/home")));

    // Released once: a repeated report posts nothing (a second post of the
    // same text would be refused as a duplicate).
    fixture.controller->onShortUrlInPlace(0);
    QTest::qWait(300);
    QCOMPARE(fixture.host->firstArguments("onShowWelcome"), ulongs({ 16 }));
    QVERIFY(fixture.host->calls("onShowError").isEmpty());
}

void TestShareFlow::tweet_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("refusal");

    QTest::newRow("posted") << QStringLiteral("My holiday %1") << QString();
    QTest::newRow("refused by the service") << QString(281, u'x') + QStringLiteral(" %1")
                                            << QStringLiteral("Status is over 280 characters.");
    QTest::newRow("empty text") << QString()
                                << QStringLiteral(
                                       "The tweet could not be sent: its text is empty.");
}

void TestShareFlow::tweet()
{
    QFETCH(QString, description);
    QFETCH(QString, refusal);

    const QString clip = newClip(QStringLiteral("clip.mp4"));
    QVERIFY(!clip.isEmpty());
    const QString link = base() + QStringLiteral("/v/earlier");
    QVERIFY(Badger().badgeContent(uploadId, link, clip, 0));

    ControllerFixture fixture({ { clip, QImage() } });
    fixture.controller->setCloseDownDelay(200);
    addPages(fixture, clip);
    fixture.start();
    fixture.controller->onReviewNextBtn(true);
    // Already uploaded: straight on to compose, where the page asks for the short link.
    Q_EMIT m_listener->requestSendInfo(0x8);
    QTRY_COMPARE(m_listener->texts(0x10), QStringList { shortLinkOf(link) });
    QVERIFY(fixture.host->calls("onShowMustUpload").isEmpty());
    QCOMPARE(fixture.host->firstArguments("onDoWizardNext"), ulongs({ 0 }));

    const QString text
        = description.isEmpty() ? description : description.arg(m_listener->texts(0x10).first());
    m_reporter->reports.append({ tweetRecord(text), 0x8000 });
    m_reporter->reports.append({ QStringLiteral("remember||1"), 0x1000 });
    fixture.host->reset();
    fixture.controller->onWizardUploadBtn(true);

    if (!refusal.isEmpty()) {
        QTRY_COMPARE(fixture.host->firstArguments("onShowError"), ulongs({ 2048 }));
        QCOMPARE(fixture.controller->getUserErrorMsg(), refusal);
        QTest::qWait(400);
        QVERIFY(fixture.host->calls("onShowWelcome").isEmpty());
        QVERIFY(fixture.host->calls("onAppRequest").isEmpty());
        QCOMPARE(badgeOf(clip, ownId), QVariant());
        return;
    }
    QTRY_COMPARE(fixture.host->firstArguments("onShowWelcome"), ulongs({ 16 }));
    QVERIFY(posted(text));
    QCOMPARE(badgeOf(clip, ownId), QVariant(base() + QStringLiteral("/home")));
    QCOMPARE(badgeOf(clip, uploadId), QVariant(link));
    QCOMPARE(fixture.host->calls("onStartMinimize"), QList<QVariantList> { { true } });
    // Closed once the delay has run out, and only once.
    QTRY_COMPARE(fixture.host->calls("onAppRequest"),
        (QList<QVariantList> { { ownId, QVariant::fromValue(4ul) } }));
    QTest::qWait(400);
    QCOMPARE(fixture.host->calls("onAppRequest").size(), 1);
}

void TestShareFlow::tweetOnItsWay_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("updates"); // status updates the service received
    QTest::addColumn<QVariantList>("welcome");

    QTest::newRow("pressed again while posting") << QStringLiteral("press") << 1 << ulongs({ 16 });
    QTest::newRow("cancelled before the reports")
        << QStringLiteral("cancel at once") << 0 << ulongs({ 8 });
    // Too late to stop the update; its answer no longer counts.
    QTest::newRow("cancelled while posting") << QStringLiteral("cancel") << 1 << ulongs({ 8 });
}

void TestShareFlow::tweetOnItsWay()
{
    QFETCH(QString, action);
    QFETCH(int, updates);
    QFETCH(QVariantList, welcome);

    // An answer that takes its time.
    const QByteArray status = "<status><id>7</id><text>On its way</text><user><id>1</id>"
                              "<name>n</name><screen_name>s</screen_name>"
                              "<profile_image_url>p</profile_image_url></user></status>";
    LoopbackServer api;
    QVERIFY(api.listen(
        { LoopbackServer::Script::drip(LoopbackServer::Script::answer(200, status).raw, 20, 8) }));
    IsolatedSettings::set(TwitterSettings::apiUrlKey, api.url().toString());
    const QString clip = newClip(QStringLiteral("clip.mp4"));
    QVERIFY(!clip.isEmpty());
    ControllerFixture fixture({ { clip, QImage() } });
    addPages(fixture, clip);
    m_reporter->reports.append({ tweetRecord(QStringLiteral("On its way")), 0x8000 });
    m_reporter->reports.append({ QStringLiteral("remember||1"), 0x1000 });

    fixture.controller->onWizardUploadBtn(true);
    if (action == QLatin1String("cancel at once"))
        fixture.controller->onCancel(true);
    else
        QTRY_COMPARE(api.requests().size(), 1);
    if (action == QLatin1String("press"))
        fixture.controller->onWizardUploadBtn(true);
    else if (action == QLatin1String("cancel"))
        fixture.controller->onCancel(true);
    // Time for the answer to trickle in, and for anything more to show.
    QTest::qWait(1500);

    QCOMPARE(api.requests().size(), updates);
    QCOMPARE(fixture.host->firstArguments("onShowWelcome"), welcome);
    QVERIFY(fixture.host->calls("onShowError").isEmpty());
    const bool posted = welcome == ulongs({ 16 });
    QCOMPARE(
        badgeOf(clip, ownId), posted ? QVariant(base() + QStringLiteral("/home")) : QVariant());
}

void TestShareFlow::shortLink_data()
{
    QTest::addColumn<QString>("appId");
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("shortenerWorks");
    QTest::addColumn<QString>("expected"); // "short", "long" or empty
    QTest::addColumn<QVariantList>("errors");
    QTest::addColumn<bool>("vanished"); // the media file is gone before the request

    const QString link = QStringLiteral("/v/abc?x=1&y=2");
    QTest::newRow("shortened") << uploadId << link << true << "short" << QVariantList {} << false;
    QTest::newRow("shortener failing: long link")
        << uploadId << link << false << "long" << QVariantList {} << false;
    QTest::newRow("empty link recorded")
        << uploadId << QString() << true << "" << ulongs({ 32 }) << false;
    QTest::newRow("no link of the upload applet")
        << ownId << link << true << "" << QVariantList {} << false;
    // The client cannot even read the badge: no result would ever come.
    QTest::newRow("media file gone") << uploadId << link << true << "" << ulongs({ 32 }) << true;
}

void TestShareFlow::shortLink()
{
    QFETCH(QString, appId);
    QFETCH(QString, link);
    QFETCH(bool, shortenerWorks);
    QFETCH(QString, expected);
    QFETCH(QVariantList, errors);
    QFETCH(bool, vanished);

    LoopbackServer failing;
    QVERIFY(failing.listen({ LoopbackServer::Script::answer(500, "http://127.0.0.1/s/no") }));
    if (!shortenerWorks)
        IsolatedSettings::set(TwitterSettings::shortenerUrlKey, failing.url().toString());
    const QString clip = newClip(QStringLiteral("clip.mp4"));
    QVERIFY(!clip.isEmpty());
    if (!link.isEmpty())
        link.prepend(base());
    QVERIFY(Badger().badgeContent(appId, link, clip, 0));

    ControllerFixture fixture({ { clip, QImage() } });
    addPages(fixture, clip);
    fixture.start();
    if (vanished) {
        QVERIFY(QFile::remove(clip));
        QTest::ignoreMessage(QtCriticalMsg,
            qPrintable(QStringLiteral("Twitter_core::getShortUrl() - failed to initialize badger "
                                      "for path: ")
                + clip));
    }
    Q_EMIT m_listener->requestSendInfo(0x8);
    if (expected.isEmpty()) {
        QTest::qWait(300);
        QVERIFY(m_listener->texts(0x10).isEmpty());
        QCOMPARE(fixture.host->firstArguments("onShowError"), errors);
        // Each failure with a text of its own.
        if (!errors.isEmpty())
            QVERIFY2(fixture.controller->getUserErrorMsg().contains(clip),
                qPrintable(fixture.controller->getUserErrorMsg()));
        return;
    }
    const QString shown = expected == QLatin1String("long") ? link : shortLinkOf(link);
    QTRY_COMPARE(m_listener->texts(0x10), QStringList { shown });
    QCOMPARE(fixture.host->firstArguments("onShowError"), errors);
    if (!shortenerWorks)
        return;

    // Asked again with the service gone: the client's cache still answers.
    m_service->stop();
    Q_EMIT m_listener->requestSendInfo(0x8);
    QTRY_COMPARE(m_listener->texts(0x10), (QStringList { shown, shown }));
}

void TestShareFlow::hostBatchUploads_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<bool>>("statuses");
    QTest::addColumn<QVariantList>("welcome");
    QTest::addColumn<QVariantList>("errors");

    const QString a = QStringLiteral("a.mp4");
    const QString b = QStringLiteral("b.mp4");
    QTest::newRow("all uploaded") << QStringList { a, b } << QList<bool> { true, true }
                                  << ulongs({ 24 }) << QVariantList {};
    QTest::newRow("one failed") << QStringList { a, b } << QList<bool> { true, false }
                                << QVariantList {} << ulongs({ 2048 });
    QTest::newRow("failure replaced by a retry")
        << QStringList { a, a } << QList<bool> { false, true } << ulongs({ 24 }) << QVariantList {};
    QTest::newRow("nothing reported")
        << QStringList {} << QList<bool> {} << ulongs({ 24 }) << QVariantList {};
}

void TestShareFlow::hostBatchUploads()
{
    QFETCH(QStringList, files);
    QFETCH(QList<bool>, statuses);
    QFETCH(QVariantList, welcome);
    QFETCH(QVariantList, errors);

    ControllerFixture fixture;
    QHash<QString, QVariant> badges;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString path = m_dir->filePath(files.at(i));
        QVERIFY(MediaFixtures::writeFile(path, "media"));
        const QString link = base() + QStringLiteral("/v/") + QString::number(i);
        QVERIFY(QMetaObject::invokeMethod(fixture.controller, "onFileUploadComplete",
            Q_ARG(bool, statuses.at(i)), Q_ARG(QString, path), Q_ARG(QString, link),
            Q_ARG(unsigned long, 0), Q_ARG(int, statuses.at(i) ? 0 : 500),
            Q_ARG(QString, QStringLiteral("message"))));
        badges[path] = statuses.at(i) ? QVariant(link) : badges.value(path);
    }
    fixture.controller->onUploadComplete(1, 0);
    fixture.settle();

    for (auto it = badges.cbegin(); it != badges.cend(); ++it)
        QCOMPARE(badgeOf(it.key(), ownId), it.value());
    QCOMPARE(fixture.host->firstArguments("onUploadComplete"), ulongs({ 0 }));
    QCOMPARE(fixture.host->firstArguments("onShowWelcome"), welcome);
    QCOMPARE(fixture.host->firstArguments("onShowError"), errors);
    QCOMPARE(fixture.controller->getUserErrorMsg().contains(QLatin1String("message")),
        !errors.isEmpty());
    QCOMPARE(fixture.host->names().last(), QStringLiteral("onClearWizardPages"));
}

QTEST_MAIN(TestShareFlow)
#include "tst_shareflow.moc"
