// The gallery's headless share, end to end against zpv-twitterd on loopback
// (a separate process), beside a raw client that sends the same requests in
// the same run: one keep-alive connection, signed by the same signer, no
// pages, no plug-in. Each run shares a fresh copy of one clip both ways and
// the medians are printed per step with their ratio. Then the start of the
// gallery process (--help, and a headless share up to its first request)
// beside a bare Qt program, and the plug-in's added memory: peak RSS of the
// gallery alone, with the wizard host, and with the plug-in constructed, each
// measured in a fresh process.
#include "gallerywindow.h"
#include "headlessshare.h"
#include "sharesession.h"

#include "badges/badger.h"
#include "controller/hostcontract.h"
#include "twitter/signature.h"
#include "twitter/twittersettings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QUrlQuery>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace {

int runs = 20;
int starts = 10;
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

// A clip of the demo's kind (320x240, 25 frames a second, with sound), the
// size a short webcam capture starts at.
bool makeClip(const QString &path)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        { QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
            QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
            QStringLiteral("-i"), QStringLiteral("testsrc=duration=2:size=320x240:rate=25"),
            QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=frequency=440:duration=2"), QStringLiteral("-c:v"),
            QStringLiteral("mpeg4"), QStringLiteral("-q:v"), QStringLiteral("5"),
            QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-shortest"), path });
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0;
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
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// In microseconds: a share is a few tens of ms, its steps a few.
qint64 micros(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1000;
}

// The requests of one share, sent and signed as the plug-in and the upload
// applet send them, each after the previous answer, on one connection.
class RawClient
{
public:
    QString failure;

    // Each returns its time in µs, or -1 with failure set.
    qint64 signIn()
    {
        m_signer.clear();
        m_signer.initDefaults();
        m_signer.x_auth_username = userName;
        m_signer.x_auth_password = password;
        m_signer.addParam(QStringLiteral("x_auth_mode"), QStringLiteral("client_auth"));
        m_signer.addParam(QStringLiteral("x_auth_password"), password);
        m_signer.addParam(QStringLiteral("x_auth_username"), userName);
        const QUrl url = api(QStringLiteral("/oauth/access_token"));
        m_signer.urlString = url.toString(QUrl::FullyEncoded);
        QByteArray answer;
        const qint64 us = signedRequest(url, QByteArray(), &answer);
        if (us >= 0 && !m_signer.consumeLoginResponse(QString::fromUtf8(answer)))
            return fail("sign-in answer");
        return us;
    }

    qint64 userCheck()
    {
        QUrl url = api(QStringLiteral("/1/users/show.xml"));
        freshSignature(QStringLiteral("GET"), url);
        m_signer.addSignatureParam(QStringLiteral("user_id"), m_signer.user_id);
        url.setQuery(QStringLiteral("user_id=") + m_signer.user_id);
        return signedRequest(url, QByteArray(), nullptr);
    }

    qint64 upload(const QString &path, QString *link)
    {
        QElapsedTimer timer;
        timer.start();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return fail("clip unreadable");
        const QUrl url = api(QStringLiteral("/upload"));
        freshSignature(QStringLiteral("POST"), url);
        QByteArray answer;
        if (signedRequest(url, file.readAll(), &answer) < 0)
            return -1;
        *link = QString::fromUtf8(answer).trimmed();
        return micros(timer);
    }

    qint64 shortLink(const QString &link)
    {
        QUrl url = TwitterSettings::endpoint(
            TwitterSettings::shortenerUrl(), QStringLiteral("/api-create.php"));
        url.setQuery(QLatin1String("url=") + QString::fromLatin1(link.toUtf8().toPercentEncoding()),
            QUrl::StrictMode);
        QElapsedTimer timer;
        timer.start();
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text"));
        if (!finish(m_manager.get(request), nullptr))
            return -1;
        return micros(timer);
    }

    qint64 tweet(const QString &text)
    {
        const QUrl url = api(QStringLiteral("/1/statuses/update.xml"));
        QElapsedTimer timer;
        timer.start();
        freshSignature(QStringLiteral("POST"), url);
        m_signer.addParam(QStringLiteral("status"), text);
        if (signedRequest(url, QByteArray(), nullptr) < 0)
            return -1;
        return micros(timer);
    }

    // The record the plug-in writes after the tweet.
    static qint64 badge(const QString &path)
    {
        QElapsedTimer timer;
        timer.start();
        const QString home
            = TwitterSettings::endpoint(TwitterSettings::webUrl(), QStringLiteral("/home"))
                  .toString(QUrl::FullyEncoded);
        if (!Badger().badgeContent(HostContract::ownAppId(), home, path, 0))
            return -1;
        return micros(timer);
    }

private:
    static QUrl api(const QString &path)
    {
        return TwitterSettings::endpoint(TwitterSettings::apiUrl(), path);
    }

    qint64 fail(const char *what)
    {
        failure = QString::fromLatin1(what);
        return -1;
    }

    void freshSignature(const QString &method, const QUrl &url)
    {
        m_signer.newNonce();
        m_signer.newTimestamp();
        m_signer.clearParams();
        m_signer.setupOAuthParams();
        m_signer.http_method = method;
        m_signer.urlString = url.toString(QUrl::FullyEncoded | QUrl::RemoveQuery);
    }

    // Signs (timed too) and sends; a body of its own replaces the form body.
    qint64 signedRequest(const QUrl &url, const QByteArray &body, QByteArray *answer)
    {
        QElapsedTimer timer;
        timer.start();
        if (!m_signer.createSignature(0))
            return fail("signing");
        QNetworkRequest request(url);
        request.setRawHeader("Authorization", m_signer.authorizationHeader.toLatin1());
        QNetworkReply *reply = nullptr;
        if (m_signer.http_method == QLatin1String("GET")) {
            request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text"));
            reply = m_manager.get(request);
        } else if (!body.isNull()) {
            request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("video/mp4"));
            request.setRawHeader("X-File-Name", "clip.mp4");
            reply = m_manager.post(request, body);
        } else {
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                QByteArrayLiteral("application/x-www-form-urlencoded"));
            reply = m_manager.post(request, m_signer.postBody.toLatin1());
        }
        if (!finish(reply, answer))
            return -1;
        return micros(timer);
    }

    bool finish(QNetworkReply *reply, QByteArray *answer)
    {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (!reply->isFinished() || status != 200) {
            failure = QStringLiteral("%1 answered %2 %3")
                          .arg(reply->url().path())
                          .arg(status)
                          .arg(reply->errorString());
            return false;
        }
        if (answer)
            *answer = reply->readAll();
        return true;
    }

    QNetworkAccessManager m_manager;
    Signature m_signer;
};

// The raw client's step names are the headless share's.
const char *const rawSteps[]
    = { "sign-in", "user check", "upload", "short-link", "tweet", "badge" };

bool rawShare(RawClient &raw, const QString &clip, const QString &text,
    QMap<QString, QList<qint64>> &steps, QList<qint64> &totals)
{
    QString link;
    qint64 times[6] = { raw.signIn(), -1, -1, -1, -1, -1 };
    if (times[0] >= 0)
        times[1] = raw.userCheck();
    if (times[1] >= 0)
        times[2] = raw.upload(clip, &link);
    if (times[2] >= 0)
        times[3] = raw.shortLink(link);
    if (times[3] >= 0)
        times[4] = raw.tweet(text + u' ' + link);
    if (times[4] >= 0)
        times[5] = RawClient::badge(clip);
    qint64 total = 0;
    for (int i = 0; i < 6; ++i) {
        if (times[i] < 0)
            return false;
        steps[QLatin1String(rawSteps[i])].append(times[i]);
        total += times[i];
    }
    totals.append(total);
    return true;
}

bool wholeShare(const QString &clip, const QString &text, QMap<QString, QList<qint64>> &steps,
    QStringList &order, QList<qint64> &totals)
{
    HeadlessShare::Options options;
    options.clip = clip;
    options.user = userName;
    options.password = password;
    options.text = text;
    QString devNull;
    QTextStream quiet(&devNull);
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
        std::fprintf(stderr, "share failed: %s\n", qPrintable(share.failure()));
        return false;
    }
    totals.append(micros(whole));
    for (qsizetype i = 0; i < share.steps().size(); ++i) {
        const QString &name = share.steps().at(i);
        if (!order.contains(name))
            order.append(name);
        steps[name].append(share.stepTimes().at(i));
    }
    return true;
}

void printRow(const QString &name, qint64 ours, qint64 floor)
{
    if (floor > 0)
        std::printf("%-12s %9.2f %9.2f %7.2fx\n", qPrintable(name), ours / 1000.0, floor / 1000.0,
            double(ours) / double(floor));
    else
        std::printf("%-12s %9.2f %9s %8s\n", qPrintable(name), ours / 1000.0, "-", "-");
}

// Milliseconds from start to exit of a child process; -1 when it failed.
qint64 timeChild(const QString &program, const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(program, arguments);
    if (!child.waitForFinished(30000) || child.exitCode() != 0)
        return -1;
    child.readAllStandardOutput();
    return timer.elapsed();
}

// Milliseconds from the start of a headless share in a new gallery process
// until its first request reaches the service (a listener of ours that never
// answers; the child is then stopped).
qint64 timeToFirstRequest(const QString &clip)
{
    QTcpServer listener;
    if (!listener.listen(QHostAddress::LocalHost))
        return -1;
    setSetting(QStringLiteral("Twitter/") + QLatin1String(TwitterSettings::apiUrlKey),
        QStringLiteral("http://127.0.0.1:%1").arg(listener.serverPort()));
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QEventLoop loop;
    qint64 ms = -1;
    QElapsedTimer timer;
    QObject::connect(&listener, &QTcpServer::newConnection, &loop, [&] {
        QTcpSocket *socket = listener.nextPendingConnection();
        QObject::connect(socket, &QTcpSocket::readyRead, &loop, [&] {
            if (ms < 0)
                ms = timer.elapsed();
            loop.quit();
        });
    });
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    timer.start();
    child.start(QStringLiteral(ZPV_GALLERY),
        { QStringLiteral("--share"), clip, QStringLiteral("--user"), userName,
            QStringLiteral("--password"), password });
    loop.exec();
    child.kill();
    child.waitForFinished();
    return ms;
}

void measureStart(const QString &clip, const QString &base)
{
    QList<qint64> floor, help, share;
    if (starts == 0)
        return;
    for (int i = 0; i < starts; ++i) {
        floor.append(timeChild(QStringLiteral(START_FLOOR), { QStringLiteral("--help") }));
        help.append(timeChild(QStringLiteral(ZPV_GALLERY), { QStringLiteral("--help") }));
        share.append(timeToFirstRequest(clip));
    }
    setSetting(QStringLiteral("Twitter/") + QLatin1String(TwitterSettings::apiUrlKey), base);
    const qint64 f = median(floor);
    std::printf(
        "\nprocess start, %d runs, medians (ms); floor: a bare Qt Widgets program's --help\n",
        starts);
    std::printf("%-34s %6s %6s %7s\n", "", "ours", "floor", "ratio");
    for (const auto &[name, values] : { std::pair { "zpv-gallery --help", help },
             std::pair { "headless share to its first request", share } }) {
        const qint64 ours = median(values);
        std::printf("%-34s %6lld %6lld %6.2fx\n", name, ours, f, f > 0 ? double(ours) / f : 0.0);
    }
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
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--rss"))
        return measureChild(args.at(2), args.at(3));
    // bench_share [RUNS [STARTS]]; no STARTS, no process measurements at all.
    if (args.size() > 1)
        runs = qMax(1, args.at(1).toInt());
    if (args.size() > 2)
        starts = qMax(0, args.at(2).toInt());

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
    const QString source = captures.path() + QStringLiteral("/source.mp4");
    if (!makeClip(source)) {
        std::fprintf(stderr, "ffmpeg could not make %s\n", qPrintable(source));
        return 1;
    }

    QMap<QString, QList<qint64>> wholeSteps;
    QMap<QString, QList<qint64>> rawSteps;
    QStringList order;
    QList<qint64> wholeTotals;
    QList<qint64> rawTotals;
    RawClient raw;
    for (int run = 0; run < runs; ++run) {
        const QString clip
            = videos + QStringLiteral("/Video%1.mp4").arg(run + 1, 4, 10, QLatin1Char('0'));
        const QString rawClip
            = videos + QStringLiteral("/Raw%1.mp4").arg(run + 1, 4, 10, QLatin1Char('0'));
        if (!QFile::copy(source, clip) || !QFile::copy(source, rawClip)) {
            std::fprintf(stderr, "could not copy the clip\n");
            return 1;
        }
        // Alternating, so neither side always finds the service warmed up.
        const QString text = QStringLiteral("Benchmark run %1").arg(run + 1);
        for (int side = 0; side < 2; ++side) {
            const bool ok = (side + run) % 2
                ? rawShare(raw, rawClip, text + QStringLiteral(" (raw)"), rawSteps, rawTotals)
                : wholeShare(clip, text, wholeSteps, order, wholeTotals);
            if (!ok) {
                std::fprintf(stderr, "run %d failed %s\n", run + 1, qPrintable(raw.failure));
                return 1;
            }
            // What one side left to write (the plug-in's settings when it
            // closes) must not hold up the service's syncs on the other side.
            ::sync();
        }
    }

    std::printf("headless share against zpv-twitterd on loopback, %d runs, medians (ms); floor: a "
                "raw client sending the same requests (same signing, keep-alive), same run\n",
        runs);
    std::printf("%-12s %9s %9s %8s\n", "step", "whole", "raw", "whole/raw");
    for (const QString &name : std::as_const(order))
        printRow(name, median(wholeSteps.value(name)), median(rawSteps.value(name)));
    printRow(QStringLiteral("total"), median(wholeTotals), median(rawTotals));

    measureStart(videos + QStringLiteral("/Video0001.mp4"), base);
    service.terminate();
    service.waitForFinished();
    if (starts == 0)
        return 0;

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
