// Status updates in a row through the Twitter client against the bundled
// service (a separate process on loopback), over HTTP and HTTPS, once with the
// client's shared connection pool and once with a fresh manager per request.
// Prints requests per second and the latency distribution of each run.
#include "common/testcertificates.h"
#include "twitter/twitter_core.h"
#include "twitter/twittersettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const int updates = 200;
const QString userName = QStringLiteral("bench");
const QString password = QStringLiteral("bench-password");

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
bool waitFor(Twitter_core &client, Signal signal, QList<QVariant> *arguments)
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
    Q_UNUSED(arguments)
    return ok;
}

struct Run
{
    double seconds = 0;
    std::vector<double> latenciesMs;
    int failures = 0;
};

Run runUpdates(bool perRequest, const QString &tag)
{
    Run run;
    Twitter_core client(nullptr, 0);
    client.setSaveState(true);
    client.setManagerPerRequest(perRequest);
    if (!client.logIn(userName, password, 0)
        || !waitFor(client, &ITwitter_core::loginResult, nullptr)) {
        std::fprintf(stderr, "sign-in failed: %s\n", qPrintable(client.getErrorText()));
        run.failures = updates;
        return run;
    }
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < updates; ++i) {
        QElapsedTimer one;
        one.start();
        const QString text
            = QStringLiteral("Benchmark status %1 of %2 (%3)").arg(i).arg(updates).arg(tag);
        const bool ok
            = client.doTweet(text, 0) && waitFor(client, &ITwitter_core::tweetResult, nullptr);
        run.latenciesMs.push_back(one.nsecsElapsed() / 1e6);
        if (!ok)
            ++run.failures;
    }
    run.seconds = total.nsecsElapsed() / 1e9;
    return run;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * (values.size() - 1) + 0.5));
    return values[index];
}

QUrl startService(QProcess &process, const QStringList &extra)
{
    QStringList arguments { QStringLiteral("--user"), userName + QLatin1Char(':') + password };
    arguments += extra;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral(ZPV_TWITTERD), arguments);
    if (!process.waitForStarted() || !process.waitForReadyRead(10000))
        return QUrl();
    return QUrl(QString::fromUtf8(process.readLine().trimmed()));
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

    std::printf(
        "%d status updates in a row through Twitter_core, service on loopback\n\n", updates);
    std::printf("%-7s %-22s %10s %9s %9s %9s %6s\n", "scheme", "connections", "req/s", "p50 ms",
        "p99 ms", "max ms", "fails");
    for (const bool tls : { false, true }) {
        QProcess service;
        QStringList extra;
        if (tls)
            extra << QStringLiteral("--tls-cert") << certificates.serverCertificateFile()
                  << QStringLiteral("--tls-key") << certificates.serverKeyFile();
        const QUrl base = startService(service, extra);
        if (!base.isValid() || base.isEmpty()) {
            std::fprintf(stderr, "the service did not start\n");
            return 1;
        }
        setTwitter(TwitterSettings::apiUrlKey, base.toString());
        setTwitter(TwitterSettings::caCertificatesKey, certificates.caFile());
        for (const bool perRequest : { false, true }) {
            const QString tag = QStringLiteral("%1 %2").arg(
                tls ? QStringLiteral("https") : QStringLiteral("http"),
                perRequest ? QStringLiteral("fresh") : QStringLiteral("shared"));
            const Run run = runUpdates(perRequest, tag);
            std::printf("%-7s %-22s %10.1f %9.2f %9.2f %9.2f %6d\n", tls ? "https" : "http",
                perRequest ? "manager per request" : "shared manager",
                run.seconds > 0 ? updates / run.seconds : 0.0, percentile(run.latenciesMs, 0.50),
                percentile(run.latenciesMs, 0.99), percentile(run.latenciesMs, 1.0), run.failures);
            std::fflush(stdout);
        }
        service.terminate();
        service.waitForFinished(5000);
    }
    return 0;
}
