// zpv-twitterd under load: N keep-alive clients, each sending M signed status
// updates one after another (the next as soon as the last is answered), all
// requests signed beforehand. Prints throughput and latency with the data
// folder on tmpfs and on disk, beside the floor measured in the same run: the
// same clients fetching a page that touches neither signatures nor storage.
#include "rawserviceclient.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

int clients = 8;
int requestsEach = 75;
const QString userName = QStringLiteral("load");
const QString password = QStringLiteral("load-password");

struct Load
{
    double seconds = 0;
    std::vector<double> latenciesMs;
    int failures = 0;
    double perSecond() const { return seconds > 0 ? double(latenciesMs.size()) / seconds : 0; }
};

// Every client keeps one request in flight until its list is done.
Load drive(std::vector<std::unique_ptr<RawServiceClient>> &connections,
    const std::vector<std::vector<QByteArray>> &requests)
{
    Load load;
    QEventLoop loop;
    int running = int(connections.size());
    std::vector<size_t> next(connections.size(), 0);
    std::vector<QElapsedTimer> timers(connections.size());
    std::function<void(size_t)> sendNext = [&](size_t c) {
        if (next[c] == requests[c].size()) {
            if (--running == 0)
                loop.quit();
            return;
        }
        timers[c].start();
        connections[c]->send(
            requests[c][next[c]++], [&, c](const RawServiceClient::Answer &answer) {
                load.latenciesMs.push_back(double(timers[c].nsecsElapsed()) / 1e6);
                load.failures += answer.status == 200 ? 0 : 1;
                sendNext(c);
            });
    };
    QElapsedTimer total;
    total.start();
    for (size_t c = 0; c < connections.size(); ++c)
        sendNext(c);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    load.seconds = double(total.nsecsElapsed()) / 1e9;
    return load;
}

void print(const char *what, const Load &load, double floorPerSecond)
{
    std::printf("%-24s %9.0f %9.2f %9.2f %14.2f %6d\n", what, load.perSecond(),
        percentile(load.latenciesMs, 0.5), percentile(load.latenciesMs, 0.99),
        floorPerSecond > 0 ? load.perSecond() / floorPerSecond : 1.0, load.failures);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Optionally: bench_serviceload CLIENTS REQUESTS_EACH, e.g. a longer run to profile.
    if (argc == 3) {
        clients = std::max(1, std::atoi(argv[1]));
        requestsEach = std::max(1, std::atoi(argv[2]));
    }
    QTemporaryDir onDisk(QDir::tempPath() + QStringLiteral("/bench-load-XXXXXX"));
    QTemporaryDir onTmpfs(QStringLiteral("/dev/shm/bench-load-XXXXXX"));
    if (!onDisk.isValid() || !onTmpfs.isValid()) {
        std::fprintf(stderr, "cannot make the data folders\n");
        return 1;
    }
    std::printf("%d keep-alive clients x %d requests each, zpv-twitterd on loopback\n\n", clients,
        requestsEach);
    std::printf("%-24s %9s %9s %9s %14s %6s\n", "requests", "req/s", "p50 ms", "p99 ms",
        "req/s / floor", "fails");
    double floorPerSecond = 0;
    for (const QTemporaryDir *data : { &onTmpfs, &onDisk }) {
        QProcess service;
        const QUrl base
            = startService(&service, data->filePath(QStringLiteral("data")), userName, password);
        if (base.isEmpty()) {
            std::fprintf(stderr, "the service did not start\n");
            return 1;
        }
        std::vector<std::unique_ptr<RawServiceClient>> connections;
        std::vector<std::vector<QByteArray>> pages(clients), updates(clients);
        for (int c = 0; c < clients; ++c) {
            connections.push_back(std::make_unique<RawServiceClient>(base));
            if (!connections.back()->connectToService()
                || !connections.back()->signIn(userName, password)) {
                std::fprintf(stderr, "client %d could not sign in\n", c);
                return 1;
            }
            for (int i = 0; i < requestsEach; ++i) {
                pages[size_t(c)].push_back(
                    RawServiceClient::plainRequest("GET", QStringLiteral("/signup"), base));
                updates[size_t(c)].push_back(connections.back()->statusUpdate(
                    QStringLiteral("Load status %1 from client %2").arg(i).arg(c)));
            }
        }
        if (data == &onTmpfs) {
            const Load floor = drive(connections, pages);
            floorPerSecond = floor.perSecond();
            print("page (floor)", floor, floorPerSecond);
        }
        print(data == &onTmpfs ? "status update, tmpfs" : "status update, disk",
            drive(connections, updates), floorPerSecond);
        service.terminate();
        service.waitForFinished(5000);
    }
    return 0;
}
