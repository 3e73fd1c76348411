// Short links of media files: the link recorded in a file's badge, shortened
// by the bundled service (or a scripted server for failures), and what the
// client keeps in its cache.
#include "badges/badger.h"
#include "common/isolatedsettings.h"
#include "common/loopbackserver.h"
#include "mediafixtures.h"
#include "badges/badgeimagesfixture.h"
#include "twitter/twitter_core.h"
#include "twitterservice.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Script = LoopbackServer::Script;
Q_DECLARE_METATYPE(LoopbackServer::Script)

namespace {

const QString uploadAppId = QStringLiteral("{D263A27F-C49A-4dd7-8C8B-A253CF319468}");
const QString ownAppId = QStringLiteral("{BB23CC56-D53E-456e-BD39-5A8A8A394279}");

// The long link a scripted server was asked to shorten.
QString askedLink(const LoopbackServer::Request &request)
{
    const qsizetype mark = request.path.indexOf("?url=");
    return mark < 0
        ? QString()
        : QString::fromUtf8(QByteArray::fromPercentEncoding(request.path.mid(mark + 5)));
}

QString pathOf(const QList<QVariant> &result)
{
    return result.at(1).toString();
}

} // namespace

class TestShortUrl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void noLinkToShorten_data();
    void noLinkToShorten();
    void unreadableMediaFile();
    void oneRequestPerLink();
    void failureLeavesNoCacheEntry_data();
    void failureLeavesNoCacheEntry();
    void overlappingRequestsKeepTheirPaths_data();
    void overlappingRequestsKeepTheirPaths();

private:
    // A small media file with a badge entry of appId (none when empty).
    QString mediaFile(const QString &name, const QString &appId, const QString &link);
    void useService();

    QTemporaryDir m_clip;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<IsolatedSettings> m_settings;
    std::unique_ptr<TwitterService> m_service;
};

void TestShortUrl::initTestCase()
{
    QVERIFY(buildBadgeImages(uploadAppId));
    QVERIFY(m_clip.isValid());
    QVERIFY(MediaFixtures::makeClip(m_clip.filePath(QStringLiteral("clip.mp4")), 1.0));
}

void TestShortUrl::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = std::make_unique<IsolatedSettings>();
    QVERIFY(m_settings->isValid());
    IsolatedSettings::set(TwitterSettings::timeoutKey, 5000);
}

void TestShortUrl::cleanup()
{
    m_service.reset();
    m_settings.reset();
    m_dir.reset();
}

QString TestShortUrl::mediaFile(const QString &name, const QString &appId, const QString &link)
{
    const QString path = m_dir->filePath(name);
    if (!QFile::copy(m_clip.filePath(QStringLiteral("clip.mp4")), path))
        return QString();
    if (!appId.isEmpty() && !Badger().badgeContent(appId, link, path, 0))
        return QString();
    return path;
}

void TestShortUrl::useService()
{
    ServiceOptions options;
    options.consumers.append(ServiceOptions::defaultConsumer());
    m_service = std::make_unique<TwitterService>(options);
    QString error;
    QVERIFY2(m_service->start(&error), qPrintable(error));
    IsolatedSettings::set(TwitterSettings::shortenerUrlKey, m_service->baseUrl().toString());
}

void TestShortUrl::noLinkToShorten_data()
{
    QTest::addColumn<QString>("appId");
    QTest::addColumn<QString>("link");
    QTest::addColumn<unsigned long>("flags");

    QTest::newRow("no badge") << QString() << QString() << 8ul;
    QTest::newRow("another applet's link")
        << ownAppId << QStringLiteral("http://127.0.0.1/v/1") << 8ul;
    QTest::newRow("empty link") << uploadAppId << QString() << 16ul;
}

void TestShortUrl::noLinkToShorten()
{
    QFETCH(QString, appId);
    QFETCH(QString, link);
    QFETCH(unsigned long, flags);

    LoopbackServer server;
    QVERIFY(server.listen({ Script::answer(200, "http://127.0.0.1/s/x") }));
    IsolatedSettings::set(TwitterSettings::shortenerUrlKey, server.url().toString());
    const QString path = mediaFile(QStringLiteral("clip.mp4"), appId, link);
    QVERIFY(!path.isEmpty());

    Twitter_core client(nullptr, 0);
    QSignalSpy results(&client, &ITwitter_core::getShortUrlResult);
    QVERIFY(!client.getShortUrl(path, uploadAppId, 0));
    // Answered inside the call.
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0),
        QVariantList({ false, path, QString(), QString(), QVariant::fromValue(flags) }));
    QTest::qWait(100);
    QCOMPARE(results.size(), 1);
    QCOMPARE(server.connectionCount(), 0);
}

void TestShortUrl::unreadableMediaFile()
{
    const QString path = m_dir->filePath(QStringLiteral("gone.mp4"));
    Twitter_core client(nullptr, 0);
    QSignalSpy results(&client, &ITwitter_core::getShortUrlResult);
    QTest::ignoreMessage(QtCriticalMsg,
        qPrintable(
            QStringLiteral("Twitter_core::getShortUrl() - failed to initialize badger for path: ")
            + path));
    QVERIFY(!client.getShortUrl(path, uploadAppId, 0));
    // A failure like any other, so the caller is not left waiting.
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0),
        QVariantList({ false, path, QString(), QString(), QVariant::fromValue(0ul) }));
    QTest::qWait(50);
    QCOMPARE(results.size(), 1);
}

void TestShortUrl::oneRequestPerLink()
{
    LoopbackServer server;
    QVERIFY(server.listen({ Script::answer(200, "http://127.0.0.1/s/abc") }));
    IsolatedSettings::set(TwitterSettings::shortenerUrlKey, server.url().toString());
    const QString link = QStringLiteral("http://127.0.0.1/v/clip?a=1&b=2");
    const QString shortUrl = QStringLiteral("http://127.0.0.1/s/abc");
    const QString first = mediaFile(QStringLiteral("first.mp4"), uploadAppId, link);
    const QString second = mediaFile(QStringLiteral("second.mp4"), uploadAppId, link);
    QVERIFY(!first.isEmpty() && !second.isEmpty());

    // Asked again before the answer: both wait for the one request.
    Twitter_core client(nullptr, 0);
    QSignalSpy results(&client, &ITwitter_core::getShortUrlResult);
    QVERIFY(client.getShortUrl(first, uploadAppId, 0));
    QVERIFY(client.getShortUrl(second, uploadAppId, 0));
    QVERIFY(results.isEmpty());
    QTRY_COMPARE(results.size(), 2);
    QCOMPARE(server.requests().size(), 1);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(results.at(i),
            QVariantList(
                { true, i == 0 ? first : second, link, shortUrl, QVariant::fromValue(0ul) }));
    }

    // Later the cache answers at once, with nothing sent.
    results.clear();
    QVERIFY(client.getShortUrl(first, uploadAppId, 0));
    QCOMPARE(results.size(), 1);
    QCOMPARE(
        results.at(0), QVariantList({ true, first, link, shortUrl, QVariant::fromValue(0ul) }));
    QTest::qWait(100);
    QCOMPARE(results.size(), 1);
    QCOMPARE(server.connectionCount(), 1);
}

void TestShortUrl::failureLeavesNoCacheEntry_data()
{
    QTest::addColumn<Script>("failure");

    QTest::newRow("server error") << Script::answer(500, "http://127.0.0.1/s/x");
    QTest::newRow("empty short link") << Script::answer(200, QByteArray());
    QTest::newRow("connection dropped") << Script::closeAtOnce();
}

void TestShortUrl::failureLeavesNoCacheEntry()
{
    QFETCH(Script, failure);

    // Qt may try a dropped connection again: the failure answers until the first result.
    LoopbackServer server;
    QVERIFY(server.listen({ failure }));
    IsolatedSettings::set(TwitterSettings::shortenerUrlKey, server.url().toString());
    const QString link = QStringLiteral("http://127.0.0.1/v/failing");
    const QString path = mediaFile(QStringLiteral("clip.mp4"), uploadAppId, link);
    QVERIFY(!path.isEmpty());

    Twitter_core client(nullptr, 0);
    QSignalSpy results(&client, &ITwitter_core::getShortUrlResult);
    QVERIFY(client.getShortUrl(path, uploadAppId, 0));
    QTRY_COMPARE(results.size(), 1);
    QCOMPARE(
        results.at(0), QVariantList({ false, path, link, QString(), QVariant::fromValue(0ul) }));

    // Not cached: the next request goes to the server again.
    server.setScripts({ Script::answer(200, "http://127.0.0.1/s/ok") });
    const int connections = server.connectionCount();
    QVERIFY(client.getShortUrl(path, uploadAppId, 0));
    QCOMPARE(results.size(), 1);
    QTRY_COMPARE(results.size(), 2);
    QVERIFY(server.connectionCount() > connections);
    QCOMPARE(results.at(1),
        QVariantList({ true, path, link, QStringLiteral("http://127.0.0.1/s/ok"),
            QVariant::fromValue(0ul) }));
}

void TestShortUrl::overlappingRequestsKeepTheirPaths_data()
{
    QTest::addColumn<bool>("secondAnsweredFirst");

    QTest::newRow("bundled service") << false;
    QTest::newRow("second answered first") << true;
}

void TestShortUrl::overlappingRequestsKeepTheirPaths()
{
    QFETCH(bool, secondAnsweredFirst);

    LoopbackServer server;
    QString base;
    if (secondAnsweredFirst) {
        // The first link's answer trickles in; the second's comes at once.
        server.setResponder([](const LoopbackServer::Request &request) {
            const QString link = askedLink(request);
            const QByteArray shortUrl = "http://127.0.0.1/s/" + link.section(u'/', -1).toUtf8();
            const Script answer = Script::answer(200, shortUrl);
            return link.endsWith(QLatin1String("/one")) ? Script::drip(answer.raw, 40, 4) : answer;
        });
        QVERIFY(server.listen());
        IsolatedSettings::set(TwitterSettings::shortenerUrlKey, server.url().toString());
        base = QStringLiteral("http://127.0.0.1/v");
    } else {
        useService();
        base = m_service->baseUrl().toString() + QStringLiteral("/v");
    }
    const QHash<QString, QString> links {
        { mediaFile(QStringLiteral("one.mp4"), uploadAppId, base + QStringLiteral("/one")),
            base + QStringLiteral("/one") },
        { mediaFile(QStringLiteral("two.mp4"), uploadAppId, base + QStringLiteral("/two")),
            base + QStringLiteral("/two") },
    };
    QVERIFY(!links.contains(QString()));

    Twitter_core client(nullptr, 0);
    QSignalSpy results(&client, &ITwitter_core::getShortUrlResult);
    for (const QString &name : { QStringLiteral("one.mp4"), QStringLiteral("two.mp4") }) {
        const QString path = links.key(base + u'/' + name.section(u'.', 0, 0));
        QVERIFY(client.getShortUrl(path, uploadAppId, 0));
    }
    QTRY_COMPARE(results.size(), 2);
    QStringList shortUrls;
    for (const QVariantList &result : std::as_const(results)) {
        QVERIFY(result.at(0).toBool());
        QCOMPARE(result.at(2).toString(), links.value(pathOf(result)));
        shortUrls.append(result.at(3).toString());
    }
    QCOMPARE(pathOf(results.at(0)).endsWith(QLatin1String("two.mp4")), secondAnsweredFirst);
    QCOMPARE(pathOf(results.at(1)).endsWith(QLatin1String("one.mp4")), secondAnsweredFirst);
    QVERIFY(shortUrls.at(0) != shortUrls.at(1));
}

QTEST_GUILESS_MAIN(TestShortUrl)
#include "tst_shorturl.moc"
