#include "badges/badger.h"
#include "badges/filecopy.h"
#include "platform/clipframe.h"
#include "platform/clipframe_p.h"
#include "platform/probestore.h"

#include "mediafixtures.h"
#include "metadatafixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <sys/xattr.h>
#include <unistd.h>

// A gallery of 10,000 files made once into a cache folder under $TMPDIR:
// a quarter plain videos, a quarter plain photos, a quarter videos with one
// badge and a quarter with two (half of the gallery badged). Each is a file
// of its own with a badge of its own, as in a real gallery: what is learnt
// about one (its probe, its badge) says nothing about another.
//
// The figures are per file, each the median of its passes, and printed side
// by side at the end with the floor of the same run: a loop of raw getxattr
// calls reading the badge attribute of the same files.
namespace {

constexpr int galleryCount = 10000;
constexpr char decoratePassOption[] = "--decorate-pass";

const QString shareId = QStringLiteral("{0F7B2C11-5E2A-4C61-9D0B-1A2B3C4D5E6F}");
const QString uploadId = QStringLiteral("{A1B2C3D4-0000-4000-8000-00000000AB01}");

QString cacheFolder(const char *name)
{
    return QDir::tempPath() + u'/' + QLatin1String(name);
}

MetadataFixture &metadata()
{
    static MetadataFixture fixture;
    static const bool ready = [] {
        fixture.addApplet(shareId, 8, QStringLiteral("share.png"), Qt::red, QStringLiteral("Share"),
            QStringLiteral("share"));
        fixture.addApplet(uploadId, 8, QStringLiteral("upload.png"), Qt::green,
            QStringLiteral("Upload"), QStringLiteral("upload"));
        return true;
    }();
    Q_UNUSED(ready);
    return fixture;
}

QString galleryFile(const QString &folder, int i, const QString &suffix)
{
    return folder
        + QStringLiteral("/g/%1/file-%2.%3")
              .arg(i / 1000)
              .arg(i, 5, 10, QLatin1Char('0'))
              .arg(suffix);
}

QStringList makeGallery()
{
    const QString folder = cacheFolder("zpv-bench-gallery-files");
    const QString complete = folder + QStringLiteral("/complete");
    const QString sources[] = { folder + QStringLiteral("/plain.mp4"),
        folder + QStringLiteral("/plain.jpg"), folder + QStringLiteral("/one-badge.mp4"),
        folder + QStringLiteral("/two-badges.mp4") };
    QStringList files;
    for (int i = 0; i < galleryCount; ++i)
        files << galleryFile(folder, i, QFileInfo(sources[i % 4]).suffix());
    if (QFileInfo::exists(complete))
        return files;

    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    for (const QString &source : sources) {
        const bool made = source.endsWith(QStringLiteral(".jpg"))
            ? MediaFixtures::makeStill(source)
            : MediaFixtures::makeClip(source, source.contains(QStringLiteral("two")) ? 65 : 5, 1);
        if (!made)
            std::abort();
    }
    // Every badge names its own file, as a real one does.
    Badger badger;
    for (int i = 0; i < galleryCount; ++i) {
        const QString &file = files.at(i);
        const QString n = QString::number(i);
        QDir().mkpath(QFileInfo(file).absolutePath());
        if (!QFile::copy(sources[i % 4], file)
            || (i % 4 >= 2
                && !badger.badgeContent(shareId, QStringLiteral("https://x.test/") + n, file, 0))
            || (i % 4 == 3
                && !badger.badgeContent(uploadId, QStringLiteral("https://v.test/") + n, file, 0)))
            std::abort();
    }
    if (!MediaFixtures::writeFile(complete, QByteArray()))
        std::abort();
    return files;
}

const QStringList &gallery()
{
    static const QStringList files = makeGallery();
    return files;
}

int showGallery(const QStringList &files)
{
    QImage thumbnail(160, 120, QImage::Format_ARGB32_Premultiplied);
    thumbnail.fill(Qt::darkCyan);
    int shown = 0;
    for (const QString &file : files) {
        Badger badger;
        if (!badger.initialize(file))
            std::abort();
        QImage decorated = thumbnail;
        QImage icon;
        shown += badger.decorateThumbnail(decorated);
        shown += badger.getBadgeIcon(icon);
        benchmark::DoNotOptimize(decorated.constBits());
    }
    return shown;
}

// Microseconds per file of one pass: wall-clock time, and the CPU time of
// this thread (which other work on a shared machine does not inflate).
struct PerFile
{
    double wall = 0;
    double cpu = 0;
};

double threadCpuNs()
{
    timespec now {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

template<typename Pass>
PerFile timePass(Pass pass)
{
    QElapsedTimer timer;
    const double cpu = threadCpuNs();
    timer.start();
    pass();
    return { double(timer.nsecsElapsed()) / 1000.0 / galleryCount,
        (threadCpuNs() - cpu) / 1000.0 / galleryCount };
}

// Per-file medians by figure name, for the summary.
std::map<std::string, PerFile> figures;

void record(benchmark::State &state, const char *name, const QList<PerFile> &passes)
{
    const auto median = [&passes](double PerFile::*field) {
        QList<double> values;
        for (const PerFile &pass : passes)
            values << pass.*field;
        std::sort(values.begin(), values.end());
        return values.isEmpty() ? 0 : values.at(values.size() / 2);
    };
    const PerFile figure { median(&PerFile::wall), median(&PerFile::cpu) };
    figures[name] = figure;
    state.counters["files"] = double(galleryCount);
    state.counters["wall_us_per_file"] = figure.wall;
    state.counters["cpu_us_per_file"] = figure.cpu;
}

// The floor: nothing but the read of each file's badge attribute.
void BM_GalleryXattrFloor(benchmark::State &state)
{
    QList<QByteArray> native;
    for (const QString &file : gallery())
        native << QFile::encodeName(file);
    QList<PerFile> passes;
    for (auto _ : state) {
        passes << timePass([&native] {
            char value[4096];
            for (const QByteArray &file : std::as_const(native))
                benchmark::DoNotOptimize(
                    ::getxattr(file.constData(), "user.zpv.BadgeData", value, sizeof value));
        });
    }
    record(state, "floor", passes);
}
BENCHMARK(BM_GalleryXattrFloor)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_GalleryWarm(benchmark::State &state)
{
    metadata();
    const QStringList &files = gallery();
    showGallery(files);
    QList<PerFile> passes;
    for (auto _ : state)
        passes << timePass([&files] { benchmark::DoNotOptimize(showGallery(files)); });
    record(state, "warm", passes);
}
BENCHMARK(BM_GalleryWarm)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Nothing learnt yet, in memory or on disk: every video is probed. The file
// data is in the page cache.
void BM_GalleryCold(benchmark::State &state)
{
    metadata();
    const QStringList &files = gallery();
    QList<PerFile> passes;
    for (auto _ : state) {
        state.PauseTiming();
        ClipFramePrivate::clearProbeCache();
        for (const QString &file : files)
            forgetStoredProbe(file);
        state.ResumeTiming();
        passes << timePass([&files] { benchmark::DoNotOptimize(showGallery(files)); });
    }
    record(state, "cold", passes);
}
BENCHMARK(BM_GalleryCold)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// The first pass of a new process over files an earlier process has shown:
// this benchmark run as a child, which times its own pass (so its start-up
// is not counted, its one-time set-up of images and fonts is) and says how
// many files it had to look into.
void BM_GallerySecondProcess(benchmark::State &state)
{
    metadata();
    showGallery(gallery());
    QList<PerFile> passes;
    int probes = 0;
    for (auto _ : state) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), { QLatin1String(decoratePassOption) });
        const QList<QByteArray> report = child.waitForFinished(600000) && child.exitCode() == 0
            ? child.readAllStandardOutput().simplified().split(' ')
            : QList<QByteArray>();
        if (report.size() != 3)
            std::abort();
        passes << PerFile { report.at(0).toDouble(), report.at(1).toDouble() };
        probes = std::max(probes, report.at(2).toInt());
    }
    record(state, "second", passes);
    state.counters["probes"] = probes;
}
BENCHMARK(BM_GallerySecondProcess)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

int decoratePass()
{
    metadata();
    const QStringList &files = gallery();
    const PerFile pass = timePass([&files] { benchmark::DoNotOptimize(showGallery(files)); });
    std::printf("%.3f %.3f %d\n", pass.wall, pass.cpu, ClipFramePrivate::probesMade());
    return 0;
}

void printSummary()
{
    const auto at = [](const char *name) {
        const auto it = figures.find(name);
        return it == figures.end() ? PerFile() : it->second;
    };
    const PerFile floor = at("floor");
    const PerFile warm = at("warm");
    if (floor.wall <= 0 || floor.cpu <= 0)
        return;
    std::printf("\nGallery decorate, %d files, us per file (medians of this run; wall | CPU):\n",
        galleryCount);
    std::printf("  %-30s %8.2f | %8.2f\n", "raw getxattr floor", floor.wall, floor.cpu);
    const std::pair<const char *, const char *> rows[] = { { "warm", "warm" },
        { "cold, this process (probing)", "cold" }, { "cold, second process", "second" } };
    for (const auto &[label, name] : rows) {
        const PerFile us = at(name);
        if (us.wall <= 0)
            continue;
        std::printf("  %-30s %8.2f | %8.2f   x floor %6.1f | %6.1f", label, us.wall, us.cpu,
            us.wall / floor.wall, us.cpu / floor.cpu);
        if (warm.wall > 0 && std::strcmp(name, "warm") != 0)
            std::printf("   x warm %5.2f | %5.2f", us.wall / warm.wall, us.cpu / warm.cpu);
        std::printf("\n");
    }
}

// 1 GiB of real (non-repeating, non-sparse) data, made for the run and
// deleted afterwards.
struct LargeFile
{
    LargeFile()
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        QByteArray block(8 * 1024 * 1024, Qt::Uninitialized);
        QRandomGenerator random(42);
        for (qint64 written = 0; written < size; written += block.size()) {
            random.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
            if (file.write(block) != block.size())
                std::abort();
        }
        // Written back before timing, so that neither copy competes with it.
        if (!file.flush() || ::fsync(file.handle()) != 0)
            std::abort();
    }
    ~LargeFile()
    {
        QFile::remove(path);
        QFile::remove(copy);
    }

    static constexpr qint64 size = qint64(1) << 30;
    const QString path = cacheFolder("zpv-bench-1gib.bin");
    const QString copy = cacheFolder("zpv-bench-1gib.copy");
};

std::unique_ptr<LargeFile> largeFileHolder;

LargeFile *large()
{
    if (!largeFileHolder)
        largeFileHolder = std::make_unique<LargeFile>();
    return largeFileHolder.get();
}

void BM_CleanCopy1GiB_copyFileContents(benchmark::State &state)
{
    large();
    double longestGapMs = 0;
    for (auto _ : state) {
        QElapsedTimer gap;
        gap.start();
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            longestGapMs = std::max(longestGapMs, gap.nsecsElapsed() / 1e6);
            gap.restart();
        });
        timer.start(0);
        if (!copyFileContents(large()->path, large()->copy))
            std::abort();
        state.PauseTiming();
        QFile::remove(large()->copy);
        state.ResumeTiming();
    }
    state.counters["longest_event_gap_ms"] = longestGapMs;
    state.SetBytesProcessed(state.iterations() * LargeFile::size);
}
BENCHMARK(BM_CleanCopy1GiB_copyFileContents)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

void BM_CleanCopy1GiB_cp(benchmark::State &state)
{
    large();
    for (auto _ : state) {
        if (QProcess::execute(QStringLiteral("cp"), { large()->path, large()->copy }) != 0)
            std::abort();
        state.PauseTiming();
        QFile::remove(large()->copy);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * LargeFile::size);
}
BENCHMARK(BM_CleanCopy1GiB_cp)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], decoratePassOption) == 0)
        return decoratePass();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    printSummary();
    largeFileHolder.reset();
    benchmark::Shutdown();
    return 0;
}
