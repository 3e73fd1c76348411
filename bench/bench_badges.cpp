#include "badges/badger.h"
#include "badges/filecopy.h"
#include "platform/clipframe.h"
#include "platform/clipframe_p.h"

#include "mediafixtures.h"
#include "metadatafixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <unistd.h>

// A gallery of 10,000 files made once into a cache folder under $TMPDIR:
// a few short clips and a photo, hard-linked under many names. Links share
// their inode and so their badge, so each kind of file has its own source:
// a quarter plain videos, a quarter plain photos, a quarter videos with one
// badge and a quarter with two (half of the gallery badged).
namespace {

constexpr int galleryCount = 10000;

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

QStringList makeGallery()
{
    const QString folder = cacheFolder("zpv-bench-gallery");
    QDir().mkpath(folder);
    const QString sources[] = { folder + QStringLiteral("/plain.mp4"),
        folder + QStringLiteral("/plain.jpg"), folder + QStringLiteral("/one-badge.mp4"),
        folder + QStringLiteral("/two-badges.mp4") };
    for (const QString &source : sources) {
        if (QFileInfo::exists(source))
            continue;
        const bool made = source.endsWith(QStringLiteral(".jpg"))
            ? MediaFixtures::makeStill(source)
            : MediaFixtures::makeClip(source, source.contains(QStringLiteral("two")) ? 65 : 5);
        if (!made)
            std::abort();
    }
    Badger badger;
    if (!badger.badgeContent(shareId, QStringLiteral("https://x.test/1"), sources[2], 0)
        || !badger.badgeContent(shareId, QStringLiteral("https://x.test/2"), sources[3], 0)
        || !badger.badgeContent(uploadId, QStringLiteral("https://v.test/2"), sources[3], 0))
        std::abort();

    QStringList files;
    for (int i = 0; i < galleryCount; ++i) {
        const QString &source = sources[i % 4];
        const QString file = folder
            + QStringLiteral("/g/%1/file-%2.%3")
                  .arg(i / 1000)
                  .arg(i, 5, 10, QLatin1Char('0'))
                  .arg(QFileInfo(source).suffix());
        if (!QFileInfo::exists(file)) {
            QDir().mkpath(QFileInfo(file).absolutePath());
            if (::link(QFile::encodeName(source).constData(), QFile::encodeName(file).constData())
                != 0)
                std::abort();
        }
        files << file;
    }
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

void setCounters(benchmark::State &state)
{
    state.counters["files"] = double(galleryCount);
    state.counters["per_file"] = benchmark::Counter(double(galleryCount),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Cold: no probe results cached; the file data is in the page cache.
void BM_GalleryCold(benchmark::State &state)
{
    metadata();
    const QStringList &files = gallery();
    for (auto _ : state) {
        state.PauseTiming();
        ClipFramePrivate::clearProbeCache();
        state.ResumeTiming();
        benchmark::DoNotOptimize(showGallery(files));
    }
    setCounters(state);
}
BENCHMARK(BM_GalleryCold)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_GalleryWarm(benchmark::State &state)
{
    metadata();
    const QStringList &files = gallery();
    showGallery(files);
    for (auto _ : state)
        benchmark::DoNotOptimize(showGallery(files));
    setCounters(state);
}
BENCHMARK(BM_GalleryWarm)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    largeFileHolder.reset();
    benchmark::Shutdown();
    return 0;
}
