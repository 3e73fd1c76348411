#include "common/isolatedsettings.h"
#include "common/loopbackserver.h"
#include "twitter/urlshortener.h"

#include <QtTest>

using Script = LoopbackServer::Script;
Q_DECLARE_METATYPE(LoopbackServer::Script)

namespace {

// The url query value as a server would decode it; empty when the query
// does not hold exactly one "url" item.
QByteArray sentLink(const LoopbackServer::Request &request)
{
    const qsizetype mark = request.path.indexOf('?');
    const QList<QByteArray> items = request.path.mid(mark + 1).split('&');
    if (mark < 0 || items.size() != 1 || !items.first().startsWith("url="))
        return QByteArray();
    return QByteArray::fromPercentEncoding(items.first().mid(4));
}

} // namespace

class TestUrlShortener : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void shorten_data();
    void shorten();
    void overlappingRequestsKeepTheirLinks();

private:
    IsolatedSettings m_settings;
    LoopbackServer m_server;
};

void TestUrlShortener::initTestCase()
{
    QVERIFY(m_settings.isValid());
    QVERIFY(m_server.listen());
    IsolatedSettings::set(TwitterSettings::shortenerUrlKey, m_server.url().toString());
}

void TestUrlShortener::shorten_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<Script>("script");
    QTest::addColumn<bool>("status");
    QTest::addColumn<QString>("shortUrl");

    const QString plain = QStringLiteral("http://video.example/watch/1");
    QTest::newRow("plain") << plain << Script::answer(200, "http://tiny.example/abc") << true
                           << QStringLiteral("http://tiny.example/abc");
    QTest::newRow("& and # in the link") << QStringLiteral("http://video.example/w?v=1&list=2#t=30")
                                         << Script::answer(200, "https://tiny.example/q") << true
                                         << QStringLiteral("https://tiny.example/q");
    QTest::newRow("+, space, %, non-ASCII")
        << QStringLiteral("http://video.example/a+b c%20/\u00e9t\u00e9")
        << Script::answer(200, "http://tiny.example/p") << true
        << QStringLiteral("http://tiny.example/p");
    QTest::newRow("body trimmed") << plain << Script::answer(200, "  http://tiny.example/t\r\n")
                                  << true << QStringLiteral("http://tiny.example/t");
    QTest::newRow("empty body") << plain << Script::answer(200, QByteArray()) << false << QString();
    QTest::newRow("error text") << plain << Script::answer(200, "Error") << false << QString();
    QTest::newRow("not a web link")
        << plain << Script::answer(200, "ftp://tiny.example/x") << false << QString();
    QTest::newRow("two lines") << plain
                               << Script::answer(200, "http://tiny.example/a\nhttp://evil/b")
                               << false << QString();
    QTest::newRow("500 with a link")
        << plain << Script::answer(500, "http://tiny.example/abc") << false << QString();
    QTest::newRow("cut short") << plain << Script::cutShort(200, "http://tiny", 40) << false
                               << QString();
}

void TestUrlShortener::shorten()
{
    QFETCH(QString, link);
    QFETCH(Script, script);
    QFETCH(bool, status);
    QFETCH(QString, shortUrl);

    m_server.setScripts({ script });
    const qsizetype before = m_server.requests().size();
    UrlShortener shortener;
    QSignalSpy results(&shortener, &UrlShortener::shortenResult);
    QTest::ignoreMessage(QtDebugMsg,
        QRegularExpression(
            QStringLiteral("^requestUrl: http://127\\.0\\.0\\.1:\\d+/api-create\\.php\\?url=")));
    QVERIFY(shortener.shorten(link, 7));
    QCOMPARE(shortener.origUrl, link);
    QVERIFY(results.wait(10000));

    QCOMPARE(results.size(), 1);
    const QList<QVariant> args = results.first();
    QCOMPARE(args.at(0).toBool(), status);
    QCOMPARE(args.at(1).toString(), link);
    QCOMPARE(args.at(2).toString(), shortUrl);
    QCOMPARE(args.at(3).value<unsigned long>(), 0ul);
    QCOMPARE(shortener.shortUrl, shortUrl);

    QCOMPARE(m_server.requests().size(), before + 1);
    const LoopbackServer::Request request = m_server.requests().last();
    QCOMPARE(request.method, QByteArray("GET"));
    QVERIFY(request.path.startsWith("/api-create.php?url="));
    QCOMPARE(sentLink(request), link.toUtf8());
    QVERIFY2(!request.path.contains('+') && !request.path.contains('#'), request.path.constData());
    QCOMPARE(request.header("Content-Type"), QByteArray("text"));
    QVERIFY(!request.hasHeader("Authorization"));
}

void TestUrlShortener::overlappingRequestsKeepTheirLinks()
{
    // The short link names the long link it was made for.
    m_server.setScripts({ Script::answer(404, QByteArray()) });
    m_server.setResponder([](const LoopbackServer::Request &request) {
        return Script::answer(200, "http://tiny.example/" + sentLink(request).right(1));
    });
    UrlShortener shortener;
    QSignalSpy results(&shortener, &UrlShortener::shortenResult);
    const QString first = QStringLiteral("http://video.example/1");
    const QString second = QStringLiteral("http://video.example/2");
    QVERIFY(shortener.shorten(first, 0));
    QVERIFY(shortener.shorten(second, 0));
    QCOMPARE(shortener.origUrl, second);
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 2, 10000);
    m_server.setResponder(nullptr);

    QHash<QString, QString> reported;
    for (const QList<QVariant> &args : std::as_const(results)) {
        QVERIFY(args.at(0).toBool());
        reported.insert(args.at(1).toString(), args.at(2).toString());
    }
    QCOMPARE(reported.value(first), QStringLiteral("http://tiny.example/1"));
    QCOMPARE(reported.value(second), QStringLiteral("http://tiny.example/2"));
}

QTEST_GUILESS_MAIN(TestUrlShortener)
#include "tst_urlshortener.moc"
