// The service binary as a child process, over HTTPS, and against a second,
// unrelated OAuth client (python3-oauthlib).
#include "serviceclient.h"
#include "twitterservice.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// Starts zpv-twitterd and reads its base URL from the first line of stdout.
QUrl startService(QProcess *process, const QStringList &arguments)
{
    process->start(QStringLiteral(ZPV_TWITTERD), arguments);
    if (!process->waitForStarted(10000))
        return QUrl();
    while (!process->canReadLine()) {
        if (!process->waitForReadyRead(20000))
            return QUrl();
    }
    return QUrl(QString::fromUtf8(process->readLine().trimmed()));
}

QByteArray oauthlibHeader(
    const QUrl &url, const Params &form, const Credentials &credentials, QByteArray *body)
{
    static const char script[] = R"(
import json, sys, urllib.parse
from oauthlib.oauth1 import Client
a = json.loads(sys.stdin.read())
c = Client(a['ck'], client_secret=a['cs'], resource_owner_key=a['tk'], resource_owner_secret=a['ts'])
form = urllib.parse.urlencode([tuple(p) for p in a['form']])
uri, headers, body = c.sign(a['url'], http_method='POST', body=form,
                            headers={'Content-Type': 'application/x-www-form-urlencoded'})
sys.stdout.write(headers['Authorization'] + '\n' + body)
)";
    QJsonArray pairs;
    for (const auto &param : form)
        pairs.append(QJsonArray { param.first, param.second });
    const QJsonObject input { { QStringLiteral("ck"), credentials.consumerKey },
        { QStringLiteral("cs"), credentials.consumerSecret },
        { QStringLiteral("tk"), credentials.token },
        { QStringLiteral("ts"), credentials.tokenSecret },
        { QStringLiteral("url"), url.toString() }, { QStringLiteral("form"), pairs } };
    QProcess python;
    // Debian's interpreter, where python3-oauthlib is installed.
    python.start(
        QStringLiteral("/usr/bin/python3"), { QStringLiteral("-c"), QLatin1String(script) });
    python.write(QJsonDocument(input).toJson());
    python.closeWriteChannel();
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return QByteArray();
    const QByteArray out = python.readAllStandardOutput();
    *body = out.mid(out.indexOf('\n') + 1);
    return out.left(out.indexOf('\n'));
}

} // namespace

class TestServiceProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void endsCleanlyKeepingData_data();
    void endsCleanlyKeepingData();
    void rejectsBadCommandLine_data();
    void rejectsBadCommandLine();
    void https();
    void independentClient_data();
    void independentClient();

private:
    QTemporaryDir m_tlsDir;
};

void TestServiceProcess::initTestCase()
{
    QVERIFY(m_tlsDir.isValid());
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
        { QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
            QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
            QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
            QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
            QStringLiteral("-keyout"), m_tlsDir.filePath(QStringLiteral("key.pem")),
            QStringLiteral("-out"), m_tlsDir.filePath(QStringLiteral("cert.pem")) });
    QVERIFY(openssl.waitForFinished(60000));
    QCOMPARE(openssl.exitCode(), 0);
}

void TestServiceProcess::endsCleanlyKeepingData_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestServiceProcess::endsCleanlyKeepingData()
{
    QFETCH(int, signalNumber);
    QTemporaryDir parent;
    const QString data = parent.filePath(QStringLiteral("service"));
    const QString uploads = data + QStringLiteral("/uploads/");
    const QString password = QStringLiteral("Pw-never-logged-7");
    QProcess first;
    // Every library's debug output on: none of it may show a request's headers.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=true"));
    first.setProcessEnvironment(environment);
    const QUrl base = startService(&first,
        { QStringLiteral("--data"), data, QStringLiteral("--user"),
            QStringLiteral("bob:") + password });
    QCOMPARE(base.scheme(), QStringLiteral("http"));
    QVERIFY(base.port() > 0);
    ServiceClient client(base);
    const Credentials bob = client.signIn(QStringLiteral("bob"), password);
    QVERIFY(!bob.token.isEmpty());
    const QString text = QStringLiteral("Kept after signal %1").arg(signalNumber);
    const Reply posted = client.post(
        QStringLiteral("/1/statuses/update.xml"), { { QStringLiteral("status"), text } }, bob);
    QCOMPARE(posted.status, 200);
    const QUrl upload = client.url(QStringLiteral("/upload"));
    const Reply uploaded = client.send("POST", upload,
        { { "Authorization", ServiceClient::authorization("POST", upload, {}, bob) },
            { "Content-Type", "video/mp4" }, { "X-File-Name", "kept.mp4" } },
        "video");
    QCOMPARE(uploaded.status, 200);
    // Token secrets and private videos: for the owner's eyes only.
    for (const QString &path :
        QStringList { data, uploads, data + QStringLiteral("/zpv-twitterd.sqlite") })
        QCOMPARE(int(QFile::permissions(path)) & 0x77, 0);

    QCOMPARE(::kill(pid_t(first.processId()), signalNumber), 0);
    QVERIFY(first.waitForFinished(20000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    const QByteArray log = first.readAllStandardError();
    QVERIFY(log.contains("POST /1/statuses/update.xml 200"));
    for (const QString &secret :
        { password, bob.token, bob.tokenSecret, QStringLiteral("oauth_signature") })
        QVERIFY2(!log.contains(secret.toUtf8()), "a secret reached the log");

    // Files a crash left without their rows go; a recorded upload and
    // anything not named like ours stay.
    const QStringList planted { QStringLiteral("A1b2C3d4E5f6G7h8"),
        QStringLiteral(".upload-x1Y2z3"), QStringLiteral("notes.txt") };
    for (const QString &name : planted) {
        QFile file(uploads + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // Same folder, no --user: the account, its token, the status and the upload were kept.
    QProcess second;
    ServiceClient again(startService(&second, { QStringLiteral("--data"), data }));
    QStringList kept { QStringLiteral("notes.txt"),
        QUrl(QString::fromUtf8(uploaded.body)).path().mid(3) };
    QStringList left = QDir(uploads).entryList(QDir::Files | QDir::Hidden);
    kept.sort();
    left.sort();
    QCOMPARE(left, kept);
    const Reply fetched = again.get(
        QStringLiteral("/1/statuses/show/%1.xml").arg(posted.xmlChild(QStringLiteral("id"))), {},
        bob);
    QCOMPARE(fetched.status, 200);
    QCOMPARE(fetched.xmlChild(QStringLiteral("text")), text);
    QVERIFY(!again.signIn(QStringLiteral("bob"), password).token.isEmpty());
    second.terminate();
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitCode(), 0);
}

void TestServiceProcess::rejectsBadCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("listen without port")
        << QStringList { QStringLiteral("--listen"), QStringLiteral("127.0.0.1") };
    QTest::newRow("listen on a name")
        << QStringList { QStringLiteral("--listen"), QStringLiteral("localhost:0") };
    QTest::newRow("port too large")
        << QStringList { QStringLiteral("--listen"), QStringLiteral("127.0.0.1:65536") };
    QTest::newRow("user without password")
        << QStringList { QStringLiteral("--user"), QStringLiteral("bob") };
    QTest::newRow("consumer without secret")
        << QStringList { QStringLiteral("--consumer"), QStringLiteral("key:") };
    QTest::newRow("certificate without key")
        << QStringList { QStringLiteral("--tls-cert"), QStringLiteral("c.pem") };
    QTest::newRow("idle timeout of zero")
        << QStringList { QStringLiteral("--idle-timeout"), QStringLiteral("0") };
    QTest::newRow("unknown option") << QStringList { QStringLiteral("--verbose") };
}

void TestServiceProcess::rejectsBadCommandLine()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.start(QStringLiteral(ZPV_TWITTERD), arguments);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(process.readAllStandardError().startsWith("zpv-twitterd: "));
}

void TestServiceProcess::https()
{
    ServiceOptions options;
    QString error;
    QVERIFY(options.parse(
        { QStringLiteral("zpv-twitterd"), QStringLiteral("--user"), QStringLiteral("dana:tls pass"),
            QStringLiteral("--tls-cert"), m_tlsDir.filePath(QStringLiteral("cert.pem")),
            QStringLiteral("--tls-key"), m_tlsDir.filePath(QStringLiteral("key.pem")) },
        &error));
    TwitterService service(options);
    QVERIFY2(service.start(&error), qPrintable(error));
    QCOMPARE(service.baseUrl().scheme(), QStringLiteral("https"));

    ServiceClient untrusting(service.baseUrl());
    const Reply refused = untrusting.send("GET", untrusting.url(QStringLiteral("/signup")), {});
    QVERIFY(refused.sslError);
    QCOMPARE(refused.status, 0);

    ServiceClient client(service.baseUrl());
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.addCaCertificates(m_tlsDir.filePath(QStringLiteral("cert.pem")));
    client.setSslConfiguration(config);
    // The signed URL carries the https scheme: signing in proves both ends agree.
    const Credentials dana = client.signIn(QStringLiteral("dana"), QStringLiteral("tls pass"));
    QVERIFY(!dana.token.isEmpty());
    const Reply posted = client.post(QStringLiteral("/1/statuses/update.xml"),
        { { QStringLiteral("status"), QStringLiteral("over TLS") } }, dana);
    QCOMPARE(posted.status, 200);
    QVERIFY(posted.xmlChild(QStringLiteral("user/profile_image_url"))
                .startsWith(QLatin1String("https://")));
}

void TestServiceProcess::independentClient_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("hello from another client");
    QTest::newRow("reserved characters") << QStringLiteral("a+b=c&d %41 ~*'()!/?#[]");
    QTest::newRow("non-ASCII") << QStringLiteral("gr\u00fc\u00dfe \u65e5\u672c \U0001F3A5");
}

void TestServiceProcess::independentClient()
{
    QFETCH(QString, text);
    ServiceOptions options;
    QString error;
    QVERIFY(options.parse(
        { QStringLiteral("zpv-twitterd"), QStringLiteral("--user"), QStringLiteral("erin:e pass") },
        &error));
    TwitterService service(options);
    QVERIFY2(service.start(&error), qPrintable(error));
    ServiceClient client(service.baseUrl());
    const Credentials erin = client.signIn(QStringLiteral("erin"), QStringLiteral("e pass"));
    QVERIFY(!erin.token.isEmpty());
    const QUrl url = client.url(QStringLiteral("/1/statuses/update.xml"));
    QByteArray body;
    const QByteArray header
        = oauthlibHeader(url, { { QStringLiteral("status"), text } }, erin, &body);
    QVERIFY2(header.startsWith("OAuth "), "python3-oauthlib did not sign");
    const Reply reply = client.send("POST", url,
        { { "Content-Type", "application/x-www-form-urlencoded" }, { "Authorization", header } },
        body);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.xmlChild(QStringLiteral("text")), text);
}

QTEST_GUILESS_MAIN(TestServiceProcess)
#include "tst_serviceprocess.moc"
