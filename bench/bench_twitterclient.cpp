// Status updates through the Twitter client against the bundled service (a
// separate process on loopback), side by side with a raw keep-alive client
// sending the same signed requests, in the same run:
//  - with the service's data folder on disk and on tmpfs, one update of each
//    client in turn, p50/p99 and the ratio to the raw client;
//  - the service's fdatasync/fsync calls per update, counted by strace;
//  - the service's password hash against OpenSSL's PBKDF2 with the same
//    parameters, and what a page costs while a sign-in is being hashed;
//  - the client's connection modes (shared pool, manager per request, HTTPS).
#include "common/testcertificates.h"
#include "passwordhash.h"
#include "rawserviceclient.h"
#include "twitter/twitter_core.h"
#include "twitter/twittersettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <openssl/evp.h>

#include <csignal>
#include <cstdio>
#include <vector>

namespace {

int updates = 200;
const int countedUpdates = 100;
const QString userName = QStringLiteral("bench");
const QString password = QStringLiteral("bench-password");

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void setTwitter(const char *key, const QVariant &value)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
        QString::fromLatin1(TwitterSettings::organisation),
        QString::fromLatin1(TwitterSettings::application));
    settings.setValue(
        QString::fromLatin1(TwitterSettings::group) + QLatin1Char('/') + QString::fromLatin1(key),
        value);
}

// Runs the event loop until the signal fires (or 10 s pass).
template<typename Signal>
bool waitFor(Twitter_core &client, Signal signal)
{
    QEventLoop loop;
    bool ok = false;
    auto connection = QObject::connect(&client, signal, &loop, [&](bool status, auto &&...) {
        ok = status;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return ok;
}

bool clientSignIn(Twitter_core &client)
{
    client.setSaveState(true);
    if (client.logIn(userName, password, 0) && waitFor(client, &ITwitter_core::loginResult))
        return true;
    std::fprintf(stderr, "sign-in failed: %s\n", qPrintable(client.getErrorText()));
    return false;
}

bool clientTweet(Twitter_core &client, const QString &text)
{
    return client.doTweet(text, 0) && waitFor(client, &ITwitter_core::tweetResult);
}

struct Latencies
{
    std::vector<double> ms;
    int failures = 0;
    double p50() const { return percentile(ms, 0.5); }
    double p99() const { return percentile(ms, 0.99); }
};

struct StorageRun
{
    Latencies raw;
    Latencies qnam;
    Latencies client;
};

// The same signed update sent through a QNetworkAccessManager of its own,
// its answer only read: what Qt's HTTP stack costs before the plug-in's work.
bool qnamUpdate(
    QNetworkAccessManager &manager, const QUrl &base, const RawServiceClient::Parts &parts)
{
    QNetworkRequest request(base.resolved(QUrl(QStringLiteral("/1/statuses/update.xml"))));
    request.setRawHeader("Authorization", parts.authorization);
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    QNetworkReply *reply = manager.post(request, parts.body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const bool ok = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200
        && !reply->readAll().isEmpty();
    reply->deleteLater();
    return ok;
}

// One update of the raw client, one through bare QNAM, then one of
// Twitter_core, and so on: all see the same machine at the same moments.
StorageRun runSideBySide(const QUrl &base, const QString &tag)
{
    StorageRun run;
    setTwitter(TwitterSettings::apiUrlKey, base.toString());
    RawServiceClient raw(base);
    Twitter_core client(nullptr, 0);
    if (!raw.connectToService() || !raw.signIn(userName, password) || !clientSignIn(client)) {
        run.raw.failures = run.client.failures = updates;
        return run;
    }
    QNetworkAccessManager manager;
    std::vector<QByteArray> signedUpdates;
    std::vector<RawServiceClient::Parts> qnamUpdates;
    for (int i = -5; i < updates; ++i) {
        signedUpdates.push_back(
            raw.statusUpdate(QStringLiteral("Raw status %1 (%2)").arg(i).arg(tag)));
        qnamUpdates.push_back(raw.signedParts("POST", QStringLiteral("/1/statuses/update.xml"),
            { { QStringLiteral("status"),
                QStringLiteral("QNAM status %1 (%2)").arg(i).arg(tag) } }));
    }
    for (int i = -5; i < updates; ++i) {
        QElapsedTimer timer;
        timer.start();
        const bool rawOk = raw.exchange(signedUpdates[size_t(i + 5)]).status == 200;
        const double rawMs = msSince(timer);
        timer.start();
        const bool qnamOk = qnamUpdate(manager, base, qnamUpdates[size_t(i + 5)]);
        const double qnamMs = msSince(timer);
        timer.start();
        const bool clientOk
            = clientTweet(client, QStringLiteral("Client status %1 (%2)").arg(i).arg(tag));
        const double clientMs = msSince(timer);
        if (i < 0) // warm-up
            continue;
        run.raw.ms.push_back(rawMs);
        run.qnam.ms.push_back(qnamMs);
        run.qnam.failures += qnamOk ? 0 : 1;
        run.client.ms.push_back(clientMs);
        run.raw.failures += rawOk ? 0 : 1;
        run.client.failures += clientOk ? 0 : 1;
    }
    return run;
}

// fdatasync and fsync calls of the service per status update, from strace's
// log of a service of its own: the calls made while the updates ran.
QString syncsPerUpdate(const QString &dataDir)
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        return QStringLiteral("not measured (no strace)");
    const QString log = dataDir + QStringLiteral("/strace.log");
    QProcess service;
    service.setStandardErrorFile(QProcess::nullDevice());
    service.start(strace,
        { QStringLiteral("-f"), QStringLiteral("--seccomp-bpf"), QStringLiteral("-e"),
            QStringLiteral("trace=fdatasync,fsync"), QStringLiteral("-o"), log,
            QStringLiteral(ZPV_TWITTERD), QStringLiteral("--data"),
            dataDir + QStringLiteral("/data"), QStringLiteral("--user"),
            userName + QLatin1Char(':') + password });
    const auto calls = [&log] {
        QFile file(log);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        static const QRegularExpression call(QStringLiteral("\\b(fdatasync|fsync)\\("));
        int count = 0;
        for (const QByteArray &line : file.readAll().split('\n'))
            count
                += (!line.contains("resumed>") && call.match(QString::fromLatin1(line)).hasMatch())
                ? 1
                : 0;
        return count;
    };
    QString result = QStringLiteral("not measured (strace did not run the service)");
    if (service.waitForStarted() && service.waitForReadyRead(10000)) {
        RawServiceClient raw(QUrl(QString::fromUtf8(service.readLine().trimmed())));
        if (raw.connectToService() && raw.signIn(userName, password)) {
            std::vector<QByteArray> signedUpdates;
            for (int i = 0; i < countedUpdates; ++i)
                signedUpdates.push_back(
                    raw.statusUpdate(QStringLiteral("Counted status %1").arg(i)));
            const int before = calls();
            int failures = 0;
            for (const QByteArray &request : signedUpdates)
                failures += raw.exchange(request).status == 200 ? 0 : 1;
            QThread::msleep(100); // strace writes its log line after the call returns
            const int during = calls() - before;
            result = QStringLiteral("%1 (%2 calls over %3 updates, %4 failed)")
                         .arg(double(during) / countedUpdates, 0, 'f', 2)
                         .arg(during)
                         .arg(countedUpdates)
                         .arg(failures);
        }
    }
    // Stopping strace would leave the service running without it: stop the service.
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(service.processId()));
    const qint64 traced
        = children.open(QIODevice::ReadOnly) ? children.readAll().trimmed().toLongLong() : 0;
    if (traced > 0)
        ::kill(pid_t(traced), SIGTERM);
    if (!service.waitForFinished(5000))
        service.kill();
    return result;
}

void passwordHashFigures()
{
    const QByteArray salt = QByteArrayLiteral("0123456789abcdef");
    const QByteArray utf8 = password.toUtf8();
    std::vector<double> ours, floor;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QByteArray hash = passwordHash(password, salt);
        ours.push_back(msSince(timer));
        unsigned char out[32];
        timer.start();
        PKCS5_PBKDF2_HMAC(utf8.constData(), int(utf8.size()),
            reinterpret_cast<const unsigned char *>(salt.constData()), int(salt.size()), 20000,
            EVP_sha256(), sizeof out, out);
        floor.push_back(msSince(timer));
        if (hash != QByteArray(reinterpret_cast<const char *>(out), sizeof out))
            std::fprintf(stderr, "the service's hash differs from OpenSSL's\n");
    }
    std::printf("\npassword hash, PBKDF2-HMAC-SHA256 20,000 rounds (median of 15)\n");
    std::printf("  ours %.2f ms   OpenSSL floor %.2f ms   ratio %.2fx\n", percentile(ours, 0.5),
        percentile(floor, 0.5), percentile(ours, 0.5) / percentile(floor, 0.5));
}

// A sign-in and a page request sent together on two connections, the page
// right behind the sign-in: how long the page waits for the hashing.
void pageDuringSignIn(const QUrl &base)
{
    RawServiceClient signer(base), reader(base);
    if (!signer.connectToService() || !reader.connectToService()) {
        std::printf("  the service refused the connections\n");
        return;
    }
    const QByteArray page = RawServiceClient::plainRequest("GET", QStringLiteral("/signup"), base);
    std::vector<double> aloneMs, pageMs, signInMs;
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer timer;
        timer.start();
        reader.exchange(page);
        aloneMs.push_back(msSince(timer));
    }
    for (int i = 0; i < 15; ++i) {
        QEventLoop loop;
        int pending = 2;
        const auto settle = [&] {
            if (--pending == 0)
                loop.quit();
        };
        QElapsedTimer timer;
        const QByteArray signIn
            = signer.signedRequest("POST", QStringLiteral("/oauth/access_token"),
                { { QStringLiteral("x_auth_mode"), QStringLiteral("client_auth") },
                    { QStringLiteral("x_auth_password"), password },
                    { QStringLiteral("x_auth_username"), userName } });
        timer.start();
        signer.send(signIn, [&](const RawServiceClient::Answer &) {
            signInMs.push_back(msSince(timer));
            settle();
        });
        QThread::usleep(300); // the sign-in is on its way first
        QElapsedTimer pageTimer;
        pageTimer.start();
        reader.send(page, [&](const RawServiceClient::Answer &) {
            pageMs.push_back(msSince(pageTimer));
            settle();
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::printf("  a page alone p50 %.2f ms; sent 0.3 ms behind a sign-in p50 %.2f ms, %.1fx "
                "(the sign-in: p50 %.2f ms)\n",
        percentile(aloneMs, 0.5), percentile(pageMs, 0.5),
        percentile(pageMs, 0.5) / percentile(aloneMs, 0.5), percentile(signInMs, 0.5));
}

struct Run
{
    double seconds = 0;
    Latencies latencies;
};

Run runClientMode(bool perRequest, const QString &tag)
{
    Run run;
    Twitter_core client(nullptr, 0);
    client.setManagerPerRequest(perRequest);
    if (!clientSignIn(client)) {
        run.latencies.failures = updates;
        return run;
    }
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < updates; ++i) {
        QElapsedTimer one;
        one.start();
        const bool ok = clientTweet(
            client, QStringLiteral("Benchmark status %1 of %2 (%3)").arg(i).arg(updates).arg(tag));
        run.latencies.ms.push_back(msSince(one));
        run.latencies.failures += ok ? 0 : 1;
    }
    run.seconds = double(total.nsecsElapsed()) / 1e9;
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    // Nor the user's keyring: the token stays in the settings above.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    qputenv("QT_LOGGING_RULES", "zpv.*.debug=false");

    TestCertificates certificates;
    if (!certificates.create()) {
        std::fprintf(stderr, "cannot make certificates: %s\n", qPrintable(certificates.error()));
        return 1;
    }
    QTemporaryDir onDisk(QDir::tempPath() + QStringLiteral("/bench-twitterd-XXXXXX"));
    QTemporaryDir onTmpfs(QStringLiteral("/dev/shm/bench-twitterd-XXXXXX"));
    if (!onDisk.isValid() || !onTmpfs.isValid()) {
        std::fprintf(stderr, "cannot make the data folders\n");
        return 1;
    }

    // --client-only [N]: Twitter_core's N status updates alone against the
    // service on tmpfs, for a profiler to look at the client's own time.
    const qsizetype clientOnly = app.arguments().indexOf(QStringLiteral("--client-only"));
    if (clientOnly > 0) {
        updates = qMax(1, app.arguments().value(clientOnly + 1, QStringLiteral("200")).toInt());
        QProcess service;
        const QUrl base
            = startService(&service, onTmpfs.path() + QStringLiteral("/data"), userName, password);
        if (base.isEmpty())
            return 1;
        setTwitter(TwitterSettings::apiUrlKey, base.toString());
        const Run run = runClientMode(false, QStringLiteral("profile"));
        std::printf("Twitter_core alone, data on tmpfs: %d updates, p50 %.2f ms, p99 %.2f ms, "
                    "%d failed\n",
            updates, run.latencies.p50(), run.latencies.p99(), run.latencies.failures);
        service.terminate();
        service.waitForFinished(5000);
        return 0;
    }

    std::printf("%d status updates over HTTP on loopback, the raw client and Twitter_core in turn\n"
                "(disk: %s, tmpfs: %s)\n\n",
        updates, qPrintable(onDisk.path()), qPrintable(onTmpfs.path()));
    std::printf("%-6s %-12s %9s %9s %18s %16s %6s\n", "data", "client", "p50 ms", "p99 ms",
        "p50 / raw, same", "p50 / raw tmpfs", "fails");
    StorageRun runs[2];
    QUrl tmpfsBase;
    QProcess tmpfsService;
    for (int i = 0; i < 2; ++i) {
        const bool disk = i == 0;
        QProcess diskService;
        QProcess &service = disk ? diskService : tmpfsService;
        const QUrl base = startService(&service,
            (disk ? onDisk.path() : onTmpfs.path()) + QStringLiteral("/data"), userName, password);
        if (base.isEmpty()) {
            std::fprintf(stderr, "the service did not start\n");
            return 1;
        }
        runs[i] = runSideBySide(base, disk ? QStringLiteral("disk") : QStringLiteral("tmpfs"));
        if (disk) {
            service.terminate();
            service.waitForFinished(5000);
        } else {
            tmpfsBase = base;
        }
    }
    const double floor = runs[1].raw.p50();
    for (int i = 0; i < 2; ++i) {
        const char *data = i == 0 ? "disk" : "tmpfs";
        const StorageRun &run = runs[i];
        std::printf("%-6s %-12s %9.2f %9.2f %18s %15.2fx %6d\n", data, "raw", run.raw.p50(),
            run.raw.p99(), "", run.raw.p50() / floor, run.raw.failures);
        std::printf("%-6s %-12s %9.2f %9.2f %17.2fx %15.2fx %6d\n", data, "bare QNAM",
            run.qnam.p50(), run.qnam.p99(), run.qnam.p50() / run.raw.p50(), run.qnam.p50() / floor,
            run.qnam.failures);
        std::printf("%-6s %-12s %9.2f %9.2f %17.2fx %15.2fx %6d\n", data, "Twitter_core",
            run.client.p50(), run.client.p99(), run.client.p50() / run.raw.p50(),
            run.client.p50() / floor, run.client.failures);
    }
    std::printf("storage per update (raw on disk - raw on tmpfs): %.2f ms\n",
        runs[0].raw.p50() - runs[1].raw.p50());
    std::printf("\nservice fdatasync+fsync per status update (strace), data on disk: %s\n",
        qPrintable(syncsPerUpdate(onDisk.path())));
    std::fflush(stdout);

    passwordHashFigures();
    pageDuringSignIn(tmpfsBase);
    std::fflush(stdout);

    std::printf("\nTwitter_core's connection modes, data on tmpfs\n");
    std::printf("%-7s %-22s %10s %9s %9s %9s %6s\n", "scheme", "connections", "req/s", "p50 ms",
        "p99 ms", "max ms", "fails");
    for (const bool tls : { false, true }) {
        QProcess tlsService;
        QUrl base = tmpfsBase;
        if (tls) {
            base = startService(&tlsService, onTmpfs.path() + QStringLiteral("/tls"), userName,
                password,
                { QStringLiteral("--tls-cert"), certificates.serverCertificateFile(),
                    QStringLiteral("--tls-key"), certificates.serverKeyFile() });
            if (base.isEmpty()) {
                std::fprintf(stderr, "the service did not start\n");
                return 1;
            }
        }
        setTwitter(TwitterSettings::apiUrlKey, base.toString());
        setTwitter(TwitterSettings::caCertificatesKey, certificates.caFile());
        for (const bool perRequest : { false, true }) {
            const QString tag = QStringLiteral("%1 %2").arg(
                tls ? QStringLiteral("https") : QStringLiteral("http"),
                perRequest ? QStringLiteral("fresh") : QStringLiteral("shared"));
            const Run run = runClientMode(perRequest, tag);
            std::printf("%-7s %-22s %10.1f %9.2f %9.2f %9.2f %6d\n", tls ? "https" : "http",
                perRequest ? "manager per request" : "shared manager",
                run.seconds > 0 ? updates / run.seconds : 0.0, run.latencies.p50(),
                run.latencies.p99(), percentile(run.latencies.ms, 1.0), run.latencies.failures);
            std::fflush(stdout);
        }
        tlsService.terminate();
        tlsService.waitForFinished(5000);
    }
    tmpfsService.terminate();
    tmpfsService.waitForFinished(5000);
    return 0;
}
