#include "common/isolatedsettings.h"
#include "common/loopbackserver.h"
#include "common/testcertificates.h"
#include "twitter/httptransport.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

#include <limits>

using Script = LoopbackServer::Script;
using ReplyPtr = QScopedPointer<QNetworkReply, QScopedPointerDeleteLater>;

Q_DECLARE_METATYPE(LoopbackServer::Script)

namespace {

constexpr qint64 mib = 1024 * 1024;

// What a caller connected to the manager's finished() signal is told; its
// slot runs before anything the transport hooked onto the reply.
int *statusSeenByManager(QNetworkReply *reply)
{
    auto *seen = new int(-1);
    QObject::connect(reply->manager(), &QNetworkAccessManager::finished, reply,
        [reply, seen](QNetworkReply *finished) {
            if (finished == reply)
                *seen = HttpTransport::answeredStatus(reply);
        });
    QObject::connect(reply, &QObject::destroyed, [seen] { delete seen; });
    return seen;
}

bool waitFor(QNetworkReply *reply, int ms = 15000)
{
    return QTest::qWaitFor([reply] { return reply->isFinished(); }, ms);
}

} // namespace

class TestHttpTransport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void answers_data();
    void answers();
    void cappedWhileArriving();
    void largestTimeoutSetting();
    void refused();
    void silentServerTimesOut();
    void drippingServerHitsDeadline();
    void redirect_data();
    void redirect();
    void postContentType_data();
    void postContentType();
    void tls_data();
    void tls();
    void managerPerRequest_data();
    void managerPerRequest();

private:
    IsolatedSettings m_settings;
    TestCertificates m_certificates;
};

void TestHttpTransport::initTestCase()
{
    QVERIFY(m_settings.isValid());
    QVERIFY2(m_certificates.create(), qPrintable(m_certificates.error()));
}

void TestHttpTransport::init()
{
    IsolatedSettings::set(TwitterSettings::timeoutKey, QVariant());
    IsolatedSettings::set(TwitterSettings::caCertificatesKey, QVariant());
}

void TestHttpTransport::answers_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body"); // checked when status is not 0
    QTest::addColumn<QString>("reason"); // part of failureReason()

    QTest::newRow("200") << Script::answer(200, "short") << 200 << QByteArray("short") << QString();
    QTest::newRow("401 with body")
        << Script::answer(401, "<hash><error>Invalid</error></hash>") << 401
        << QByteArray("<hash><error>Invalid</error></hash>") << QString();
    QTest::newRow("403 with body")
        << Script::answer(403, "forbidden") << 403 << QByteArray("forbidden") << QString();
    QTest::newRow("500 with body")
        << Script::answer(500, "oops") << 500 << QByteArray("oops") << QString();
    QTest::newRow("exactly the cap")
        << Script::large(mib, false) << 200 << QByteArray(mib, 'x') << QString();
    QTest::newRow("cut short") << Script::cutShort(200, "abc", 100) << 0 << QByteArray()
                               << QString();
    QTest::newRow("chunked cut short") << Script { Script::Answer,
        "HTTP/1.1 200 OK\r\nConnection: close\r\nTransfer-Encoding: chunked\r\n\r\n"
        "10\r\n0123456789",
        0 } << 0 << QByteArray() << QString();
    QTest::newRow("closed at once") << Script::closeAtOnce() << 0 << QByteArray() << QString();
    QTest::newRow("over the cap with Content-Length") << Script::large(
        2 * mib, false) << 0 << QByteArray() << QStringLiteral("reply larger than 1 MiB");
    QTest::newRow("over the cap chunked") << Script::large(2 * mib, true) << 0 << QByteArray()
                                          << QStringLiteral("reply larger than 1 MiB");
    QTest::newRow("one byte over the cap") << Script::large(mib + 1, false) << 0 << QByteArray()
                                           << QStringLiteral("reply larger than 1 MiB");
}

void TestHttpTransport::answers()
{
    QFETCH(Script, script);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, reason);

    LoopbackServer server;
    QVERIFY(server.listen({ script }));
    HttpTransport transport;
    ReplyPtr reply(transport.get(server.url(QStringLiteral("/r")), "text"));
    const int *seen = statusSeenByManager(reply.get());
    QVERIFY(waitFor(reply.get()));

    QCOMPARE(HttpTransport::answeredStatus(reply.get()), status);
    QCOMPARE(*seen, status);
    if (status != 0) {
        QCOMPARE(HttpTransport::body(reply.get()), body);
        QCOMPARE(HttpTransport::body(reply.get()), body); // a second call keeps the body
    } else {
        QVERIFY(!HttpTransport::failureReason(reply.get()).isEmpty());
        QVERIFY(HttpTransport::body(reply.get()).size() <= HttpTransport::maxReplySize);
    }
    if (!reason.isEmpty())
        QCOMPARE(HttpTransport::failureReason(reply.get()), reason);
}

void TestHttpTransport::cappedWhileArriving()
{
    // 2 MiB in 64 KiB steps: the client must hang up half way, not take it all.
    LoopbackServer server;
    QVERIFY(server.listen({ Script::drip(Script::large(2 * mib, true).raw, 5, 64 * 1024) }));
    HttpTransport transport;
    ReplyPtr reply(transport.get(server.url(), "text"));
    QVERIFY(waitFor(reply.get()));
    QCOMPARE(HttpTransport::answeredStatus(reply.get()), 0);
    QCOMPARE(HttpTransport::failureReason(reply.get()), QStringLiteral("reply larger than 1 MiB"));
    QTRY_COMPARE(server.abandonedCount(), 1);
}

void TestHttpTransport::largestTimeoutSetting()
{
    IsolatedSettings::set(TwitterSettings::timeoutKey, std::numeric_limits<int>::max());
    LoopbackServer server;
    QVERIFY(server.listen({ Script::answer(200, "ok") }));
    HttpTransport transport;
    ReplyPtr reply(transport.get(server.url(), "text"));
    QVERIFY(waitFor(reply.get()));
    QCOMPARE(HttpTransport::answeredStatus(reply.get()), 200);
}

void TestHttpTransport::refused()
{
    HttpTransport transport;
    QUrl url(QStringLiteral("http://127.0.0.1/"));
    url.setPort(LoopbackServer::unusedPort());
    ReplyPtr reply(transport.get(url, "text"));
    QVERIFY(waitFor(reply.get()));
    QCOMPARE(HttpTransport::answeredStatus(reply.get()), 0);
    QVERIFY2(HttpTransport::failureReason(reply.get()).contains(QLatin1String("refused")),
        qPrintable(HttpTransport::failureReason(reply.get())));
}

void TestHttpTransport::silentServerTimesOut()
{
    IsolatedSettings::set(TwitterSettings::timeoutKey, 300);
    LoopbackServer server;
    QVERIFY(server.listen({ Script::silent() }));
    HttpTransport transport;
    QCOMPARE(transport.timeoutMs(), 300);
    ReplyPtr reply(transport.get(server.url(), "text"));
    QVERIFY(waitFor(reply.get()));
    QCOMPARE(HttpTransport::answeredStatus(reply.get()), 0);
    QCOMPARE(HttpTransport::failureReason(reply.get()),
        QStringLiteral("timed out after 300 ms without data"));
}

void TestHttpTransport::drippingServerHitsDeadline()
{
    // Never quiet for as long as the idle timeout, yet far too slow overall.
    IsolatedSettings::set(TwitterSettings::timeoutKey, 400);
    const QByteArray raw = Script::answer(200, QByteArray(200, 'd')).raw;
    LoopbackServer server;
    QVERIFY(server.listen({ Script::drip(raw, 50) }));
    HttpTransport transport;
    QElapsedTimer clock;
    clock.start();
    ReplyPtr reply(transport.get(server.url(), "text"));
    QVERIFY(waitFor(reply.get(), 20000));
    QVERIFY(clock.elapsed() < raw.size() * 50 / 2);
    QCOMPARE(HttpTransport::answeredStatus(reply.get()), 0);
    const QString reason = HttpTransport::failureReason(reply.get());
    QVERIFY2(reason.startsWith(QLatin1String("timed out after ")), qPrintable(reason));
    QVERIFY2(!reason.contains(QLatin1String("without data")), qPrintable(reason));
}

void TestHttpTransport::redirect_data()
{
    QTest::addColumn<QByteArray>("authorization");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("secondHostRequests");

    QTest::newRow("signed: not followed") << QByteArray("OAuth oauth_token=\"t\"") << 0 << 0;
    QTest::newRow("unsigned: followed") << QByteArray() << 200 << 1;
}

void TestHttpTransport::redirect()
{
    QFETCH(QByteArray, authorization);
    QFETCH(int, status);
    QFETCH(int, secondHostRequests);

    LoopbackServer second;
    QVERIFY(second.listen({ Script::answer(200, "elsewhere") }));
    LoopbackServer first;
    QVERIFY(first.listen({ Script::redirect(second.url(QStringLiteral("/landing"))) }));

    HttpTransport transport;
    ReplyPtr reply(transport.get(first.url(), "text", authorization));
    const int *seen = statusSeenByManager(reply.get());
    QVERIFY(waitFor(reply.get()));

    QCOMPARE(HttpTransport::answeredStatus(reply.get()), status);
    QCOMPARE(*seen, status);
    QCOMPARE(first.requests().size(), 1);
    QCOMPARE(first.requests().first().header("Authorization"), authorization);
    QCOMPARE(second.requests().size(), secondHostRequests);
    if (status == 0) {
        QVERIFY(HttpTransport::failureReason(reply.get()).contains(QLatin1String("redirected")));
        QCOMPARE(second.connectionCount(), 0);
    } else {
        QCOMPARE(second.requests().first().path, QByteArray("/landing"));
        QVERIFY(!second.requests().first().hasHeader("Authorization"));
    }
}

void TestHttpTransport::postContentType_data()
{
    QTest::addColumn<QByteArray>("given");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("form") << QByteArray("application/x-www-form-urlencoded")
                          << QByteArray("application/x-www-form-urlencoded");
    QTest::newRow("none given") << QByteArray() << QByteArray("application/x-www-form-urlencoded");
    QTest::newRow("xml") << QByteArray("text/xml") << QByteArray("text/xml");
}

void TestHttpTransport::postContentType()
{
    QFETCH(QByteArray, given);
    QFETCH(QByteArray, sent);

    LoopbackServer server;
    QVERIFY(server.listen({ Script::answer(200, "ok") }));
    HttpTransport transport;
    const QByteArray body = "status=a%20b&x=1";
    HttpTransport::Request post;
    post.verb = "POST";
    post.url = server.url(QStringLiteral("/1/statuses/update.xml"));
    post.contentType = given;
    post.body = body;
    post.authorization = "OAuth x=\"1\"";
    ReplyPtr reply(transport.send(post));
    QVERIFY(waitFor(reply.get()));
    QCOMPARE(HttpTransport::answeredStatus(reply.get()), 200);
    QCOMPARE(server.requests().size(), 1);
    const LoopbackServer::Request request = server.requests().first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path, QByteArray("/1/statuses/update.xml"));
    QCOMPARE(request.header("Content-Type"), sent);
    QCOMPARE(request.body, body);
}

void TestHttpTransport::tls_data()
{
    QTest::addColumn<int>("caFile"); // 0 none, 1 the test CA, 2 a file without certificates
    QTest::addColumn<int>("status");

    QTest::newRow("test CA trusted") << 1 << 200;
    QTest::newRow("certificate not trusted") << 0 << 0;
    QTest::newRow("CA file without certificates") << 2 << 0;
}

void TestHttpTransport::tls()
{
    QFETCH(int, caFile);
    QFETCH(int, status);

    QTemporaryFile junk;
    QVERIFY(junk.open() && junk.write("not a certificate\n") > 0);
    junk.close();
    if (caFile == 1)
        IsolatedSettings::set(TwitterSettings::caCertificatesKey, m_certificates.caFile());
    if (caFile == 2) {
        IsolatedSettings::set(TwitterSettings::caCertificatesKey, junk.fileName());
        QTest::ignoreMessage(QtCriticalMsg,
            qPrintable(QStringLiteral("HttpTransport::HttpTransport() - no certificates in ")
                + junk.fileName()));
    }
    LoopbackServer server;
    QVERIFY(server.listenTls(m_certificates.serverCertificate(), m_certificates.serverKey()));
    server.setScripts({ Script::answer(200, "secure") });
    HttpTransport transport;
    ReplyPtr reply(transport.get(server.url(), "text"));
    QVERIFY(waitFor(reply.get()));
    QCOMPARE(HttpTransport::answeredStatus(reply.get()), status);
    if (status == 200)
        QCOMPARE(HttpTransport::body(reply.get()), QByteArray("secure"));
    else
        QVERIFY2(HttpTransport::failureReason(reply.get()).contains(QLatin1String("certificate")),
            qPrintable(HttpTransport::failureReason(reply.get())));
    QCOMPARE(server.requests().size(), status == 200 ? 1 : 0);
}

void TestHttpTransport::managerPerRequest_data()
{
    QTest::addColumn<bool>("perRequest");
    QTest::newRow("shared") << false;
    QTest::newRow("per request") << true;
}

void TestHttpTransport::managerPerRequest()
{
    QFETCH(bool, perRequest);

    LoopbackServer server;
    QVERIFY(server.listen({ Script::answer(200, "ok") }));
    HttpTransport transport;
    transport.setManagerPerRequest(perRequest);
    QNetworkReply *first = transport.get(server.url(), "text");
    QNetworkReply *second = transport.get(server.url(), "text");
    QVERIFY(waitFor(first) && waitFor(second));
    QCOMPARE(HttpTransport::answeredStatus(first), 200);
    QCOMPARE(HttpTransport::answeredStatus(second), 200);
    QCOMPARE(first->manager() != second->manager(), perRequest);

    QPointer<QNetworkAccessManager> manager = first->manager();
    delete first;
    delete second;
    // A per-request manager goes once its reply is gone; the shared one stays.
    QTRY_COMPARE(manager.isNull(), perRequest);
}

QTEST_GUILESS_MAIN(TestHttpTransport)
#include "tst_httptransport.moc"
