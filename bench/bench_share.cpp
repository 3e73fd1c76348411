// The gallery's headless share, end to end against zpv-twitterd on loopback
// (a separate process): 20 shares of fresh clips, each through sign-in,
// hand-over, upload, short link and tweet, printing the median and worst time
// of every step and of the whole. Then the plug-in's added memory: peak RSS of
// the gallery alone, with the wizard host, and with the plug-in constructed,
// each measured in a fresh process.
#include "gallerywindow.h"
#include "headlessshare.h"
#include "mediafixtures.h"
#include "sharesession.h"

#include "twitter/twittersettings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

const int runs = 20;
const QString userName = QStringLiteral("bench");
const QString password = QStringLiteral("bench-password");

void setSetting(const QString &key, const QVariant &value)
{
    QSettings(QStringLiteral("Nobridge"), QStringLiteral("ZPV")).setValue(key, value);
}

void pointAt(const QString &base, const QString &videos)
{
    for (const char *key : { TwitterSettings::apiUrlKey, TwitterSettings::webUrlKey,
             TwitterSettings::shortenerUrlKey })
        setSetting(QStringLiteral("Twitter/") + QLatin1String(key), base);
    setSetting(QStringLiteral("Preferences/MovieFolder"), videos);
}

QString startService(QProcess &service)
{
    service.start(
        QStringLiteral(ZPV_TWITTERD), { QStringLiteral("--user"), userName + u':' + password });
    if (!service.waitForStarted() || !service.waitForReadyRead(10000))
        return QString();
    return QString::fromUtf8(service.readLine()).trimmed();
}

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

long peakRssKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// One fresh process: the gallery, then as much of the plug-in as asked.
int measureChild(const QString &mode, const QString &clip)
{
    GalleryWindow gallery;
    gallery.show();
    wait(300);
    ShareSession *session = nullptr;
    WizardHost *wizardOnly = nullptr;
    if (mode == QLatin1String("wizard")) {
        wizardOnly = new WizardHost;
        wizardOnly->show();
    } else if (mode == QLatin1String("plugin")) {
        session = new ShareSession({ { clip, ShareSession::thumbnailFor(clip) } });
        session->wizard()->show();
        session->start();
    }
    wait(500);
    std::printf("%ld\n", peakRssKiB());
    delete session;
    delete wizardOnly;
    return 0;
}

long measure(const QString &mode, const QString &clip)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--rss"), mode, clip });
    if (!child.waitForFinished(60000) || child.exitCode() != 0)
        return -1;
    return QString::fromUtf8(child.readAllStandardOutput()).trimmed().toLong();
}

qint64 median(QList<qint64> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    // Never the user's own settings, thumbnails or keyring.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/cache")));
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--rss"))
        return measureChild(args.at(2), args.at(3));

    QProcess service;
    const QString base = startService(service);
    if (base.isEmpty()) {
        std::fprintf(stderr, "zpv-twitterd did not start\n");
        return 1;
    }
    QTemporaryDir captures;
    const QString videos = captures.path() + QStringLiteral("/videos");
    QDir().mkpath(videos);
    pointAt(base, videos);

    QMap<QString, QList<qint64>> steps;
    QStringList order;
    QList<qint64> totals;
    QString devNull;
    QTextStream quiet(&devNull);
    for (int run = 0; run < runs; ++run) {
        const QString clip
            = videos + QStringLiteral("/Video%1.mp4").arg(run + 1, 4, 10, QLatin1Char('0'));
        if (!MediaFixtures::makeClip(clip, 2.0, 10)) {
            std::fprintf(stderr, "ffmpeg could not make %s\n", qPrintable(clip));
            return 1;
        }
        HeadlessShare::Options options;
        options.clip = clip;
        options.user = userName;
        options.password = password;
        options.text = QStringLiteral("Benchmark run %1").arg(run + 1);
        HeadlessShare share(options, quiet);
        QEventLoop loop;
        bool shared = false;
        QObject::connect(&share, &HeadlessShare::finished, &loop, [&](bool ok) {
            shared = ok;
            loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        QElapsedTimer whole;
        whole.start();
        share.start();
        loop.exec();
        if (!shared) {
            std::fprintf(stderr, "run %d failed: %s\n", run + 1, qPrintable(share.failure()));
            return 1;
        }
        totals.append(whole.elapsed());
        for (qsizetype i = 0; i < share.steps().size(); ++i) {
            const QString &name = share.steps().at(i);
            if (!order.contains(name))
                order.append(name);
            steps[name].append(share.stepTimes().at(i));
        }
    }

    std::printf("headless share, %d runs against zpv-twitterd on loopback (ms)\n", runs);
    std::printf("%-12s %8s %8s\n", "step", "median", "worst");
    for (const QString &name : std::as_const(order)) {
        const QList<qint64> &times = steps.value(name);
        std::printf("%-12s %8lld %8lld\n", qPrintable(name), median(times),
            *std::max_element(times.cbegin(), times.cend()));
    }
    std::printf("%-12s %8lld %8lld\n", "whole", median(totals),
        *std::max_element(totals.cbegin(), totals.cend()));

    service.terminate();
    service.waitForFinished();

    const QString clip = videos + QStringLiteral("/Video0001.mp4");
    const long gallery = measure(QStringLiteral("gallery"), clip);
    const long wizard = measure(QStringLiteral("wizard"), clip);
    const long plugin = measure(QStringLiteral("plugin"), clip);
    std::printf("\npeak RSS (KiB): gallery %ld, + wizard host %ld, + plug-in constructed %ld\n",
        gallery, wizard, plugin);
    std::printf("the plug-in adds %ld KiB (controller, client, info exchange); the wizard host "
                "and its pages %ld KiB\n",
        plugin - wizard, wizard - gallery);
    return 0;
}
