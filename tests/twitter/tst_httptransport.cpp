// HttpTransport against scripted loopback servers: an answer counts only when
// it arrived whole from a trusted server; every other outcome is status 0
// with a reason of its own.
#include "common/isolatedsettings.h"
#include "common/loopbackserver.h"
#include "common/testcertificates.h"
#include "twitter/httptransport.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

#include <limits>

using Script = LoopbackServer::Script;
using ReplyPtr = QScopedPointer<QNetworkReply, QScopedPointerDeleteLater>;
Q_DECLARE_METATYPE(LoopbackServer::Script)

namespace {

constexpr qint64 mib = 1024 * 1024;
enum Server { Plain, Refused, Redirect, Tls, TlsTrusted, TlsJunkCa };

} // namespace

class TestHttpTransport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void replies_data();
    void replies();

private:
    IsolatedSettings m_settings;
    TestCertificates m_certificates;
    QTemporaryFile m_junk;
};

void TestHttpTransport::initTestCase()
{
    QVERIFY(m_settings.isValid());
    QVERIFY2(m_certificates.create(), qPrintable(m_certificates.error()));
    QVERIFY(m_junk.open() && m_junk.write("not a certificate\n") > 0 && m_junk.flush());
}

void TestHttpTransport::replies_data()
{
    QTest::addColumn<int>("server");
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("timeoutMs"); // 0: the default
    QTest::addColumn<QByteArray>("authorization"); // set: a signed request
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("expected"); // the body of an answer, or part of why there is none

    const QByteArray by = "OAuth oauth_token=\"t\"";
    const QByteArray error = "<hash><error>Invalid</error></hash>";
    const QByteArray tooLarge = "reply larger than 1 MiB";
    auto row
        = [](const char *name, int server, const Script &script, int timeoutMs = 0) -> QTestData & {
        return QTest::newRow(name) << server << script << timeoutMs;
    };
    // clang-format off
    row("200", Plain, Script::answer(200, "short")) << QByteArray() << 200 << QByteArray("short");
    row("401 is an answer", Plain, Script::answer(401, error)) << by << 401 << error;
    row("exactly the cap", Plain, Script::large(mib, false)) << QByteArray() << 200 << QByteArray(mib, 'x');
    row("largest timeout setting", Plain, Script::answer(200, "ok"), std::numeric_limits<int>::max())
        << QByteArray() << 200 << QByteArray("ok");
    row("refused", Refused, Script()) << QByteArray() << 0 << QByteArray("refused");
    row("closed at once", Plain, Script { Script::CloseAtOnce }) << by << 0 << QByteArray();
    row("cut short", Plain, Script { Script::Answer, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc" }) << by << 0 << QByteArray();
    row("one byte over the cap", Plain, Script::large(mib + 1, false)) << QByteArray() << 0 << tooLarge;
    row("over the cap, chunked", Plain, Script::large(2 * mib, true)) << QByteArray() << 0 << tooLarge;
    // The client must hang up half way, not take it all in.
    row("over the cap while arriving", Plain, Script::drip(Script::large(2 * mib, true).raw, 5, 64 * 1024))
        << QByteArray() << 0 << tooLarge;
    row("silent", Plain, Script { Script::Silent }, 300) << by << 0 << QByteArray("timed out after 300 ms without data");
    // Never quiet for as long as the idle timeout, yet far too slow overall.
    row("drips past the deadline", Plain, Script::drip(Script::answer(200, QByteArray(200, 'd')).raw, 50), 400)
        << by << 0 << QByteArray("timed out after 1200 ms");
    row("signed request redirected", Redirect, Script()) << by << 0 << QByteArray("redirected a signed request to http://127.0.0.1:");
    row("unsigned request redirected", Redirect, Script()) << QByteArray() << 200 << QByteArray("elsewhere");
    row("untrusted certificate", Tls, Script::answer(200, "secure")) << by << 0 << QByteArray("certificate");
    row("test CA trusted", TlsTrusted, Script::answer(200, "secure")) << by << 200 << QByteArray("secure");
    row("CA file without certificates", TlsJunkCa, Script::answer(200, "secure")) << by << 0 << QByteArray("certificate");
    // clang-format on
}

void TestHttpTransport::replies()
{
    QFETCH(int, server);
    QFETCH(Script, script);
    QFETCH(int, timeoutMs);
    QFETCH(QByteArray, authorization);
    QFETCH(int, status);
    QFETCH(QByteArray, expected);

    IsolatedSettings::set(
        TwitterSettings::timeoutKey, timeoutMs ? QVariant(timeoutMs) : QVariant());
    LoopbackServer loopback;
    LoopbackServer elsewhere;
    QVERIFY(elsewhere.listen({ Script::answer(200, "elsewhere") }));
    if (server == Redirect)
        script = Script::answer(302, QByteArray(),
            { { "Location", elsewhere.url(QStringLiteral("/landing")).toEncoded() } });
    QVERIFY(server >= Tls
            ? loopback.listenTls(m_certificates.serverCertificate(), m_certificates.serverKey())
            : loopback.listen());
    loopback.setScripts({ script });
    const QString ca = server == TlsTrusted ? m_certificates.caFile()
        : server == TlsJunkCa               ? m_junk.fileName()
                                            : QString();
    IsolatedSettings::set(TwitterSettings::caCertificatesKey, ca.isEmpty() ? QVariant() : ca);
    QUrl url = loopback.url();
    if (server == Refused)
        url.setPort(LoopbackServer::unusedPort());

    HttpTransport transport;
    ReplyPtr reply(transport.get(url, "text", authorization));
    // A slot on the manager's finished() runs before anything hooked onto the reply.
    int seenByManager = -1;
    connect(reply->manager(), &QNetworkAccessManager::finished, this,
        [&](QNetworkReply *finished) { seenByManager = HttpTransport::answeredStatus(finished); });
    QVERIFY(QTest::qWaitFor([&] { return reply->isFinished(); }, 15000));

    QCOMPARE(HttpTransport::answeredStatus(reply.get()), status);
    QCOMPARE(seenByManager, status);
    const QString why = HttpTransport::failureReason(reply.get());
    QCOMPARE(why.isEmpty(), status == 200);
    QVERIFY2(status != 0 || why.contains(QString::fromUtf8(expected), Qt::CaseInsensitive),
        qPrintable(why));
    if (status != 0) {
        QCOMPARE(HttpTransport::body(reply.get()), expected);
        QCOMPARE(HttpTransport::body(reply.get()), expected); // a second call keeps it
    }
    QVERIFY(HttpTransport::body(reply.get()).size() <= HttpTransport::maxReplySize);
    if (script.kind == Script::Drip)
        QTRY_COMPARE(loopback.abandonedCount(), 1);
    // Nothing reaches a server that could not prove who it is.
    if (server >= Tls)
        QCOMPARE(loopback.requests().size(), status == 200 ? 1 : 0);
    for (const LoopbackServer::Request &request : loopback.requests())
        QCOMPARE(request.header("Authorization"), authorization);
    // A redirect carries a signed request nowhere.
    QCOMPARE(elsewhere.requests().size(), server == Redirect && authorization.isEmpty() ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestHttpTransport)
#include "tst_httptransport.moc"
