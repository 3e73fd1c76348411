#include "mediafixtures.h"
#include "platform/clipframe.h"
#include "platform/clipframe_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <sys/xattr.h>

// 500 clips made once into a cache folder that survives between runs: a
// few distinct clips, copied under different names.
namespace {

constexpr int clipCount = 500;

const QString badgeText = QStringLiteral(
    "<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE BadgeDataDoc>\n<applicaitons>\n"
    " <applicaiton id=\"{BB23CC56-D53E-456e-BD39-5A8A8A394279}\">\n"
    "  <url>https://example.com/watch?v=0123456789a</url>\n </applicaiton>\n</applicaitons>\n");

QStringList makeClips()
{
    const QByteArray configured = qgetenv("ZPV_BENCH_MEDIA");
    const QString folder = configured.isEmpty()
        ? QDir::tempPath() + QStringLiteral("/zpv-bench-media")
        : QString::fromLocal8Bit(configured);
    QDir().mkpath(folder);
    const double seconds[] = { 3, 10, 30, 65 };
    QStringList sources;
    for (const double s : seconds) {
        const QString source = folder + QStringLiteral("/source-%1.mp4").arg(s);
        if (!QFileInfo::exists(source) && !MediaFixtures::makeClip(source, s))
            std::abort();
        sources << source;
    }
    QStringList clips;
    for (int i = 0; i < clipCount; ++i) {
        const QString clip
            = folder + QStringLiteral("/clip-%1.mp4").arg(i, 3, 10, QLatin1Char('0'));
        if (!QFileInfo::exists(clip) && !QFile::copy(sources.at(i % sources.size()), clip))
            std::abort();
        clips << clip;
    }
    return clips;
}

const QStringList &clips()
{
    static const QStringList all = makeClips();
    return all;
}

QList<QByteArray> nativeClips()
{
    QList<QByteArray> native;
    for (const QString &clip : clips())
        native << QFile::encodeName(clip);
    return native;
}

void perFile(benchmark::State &state)
{
    state.counters["per_file"] = benchmark::Counter(
        clipCount, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void probeAll()
{
    for (const QString &clip : clips()) {
        unsigned long seconds = 0;
        benchmark::DoNotOptimize(ClipFrame::isMovieFile(clip));
        benchmark::DoNotOptimize(ClipFrame::getDuration(clip, seconds));
    }
}

void BM_ProbeCold(benchmark::State &state)
{
    clips();
    for (auto _ : state) {
        ClipFramePrivate::clearProbeCache();
        probeAll();
    }
    perFile(state);
}
BENCHMARK(BM_ProbeCold)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ProbeWarm(benchmark::State &state)
{
    probeAll();
    for (auto _ : state)
        probeAll();
    perFile(state);
}
BENCHMARK(BM_ProbeWarm)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AttributeWrite(benchmark::State &state)
{
    ClipFramePrivate::setExtendedAttributesDisabled(state.range(0) != 0);
    for (auto _ : state) {
        for (const QString &clip : clips())
            benchmark::DoNotOptimize(
                ClipFrame::setFileAttribute(clip, QStringLiteral("BadgeData"), badgeText));
    }
    perFile(state);
    for (const QString &clip : clips())
        ClipFrame::removeFileAttribute(clip, QStringLiteral("BadgeData"));
    ClipFramePrivate::setExtendedAttributesDisabled(false);
}
BENCHMARK(BM_AttributeWrite)
    ->ArgName("sidecar")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_AttributeRead(benchmark::State &state)
{
    ClipFramePrivate::setExtendedAttributesDisabled(state.range(0) != 0);
    for (const QString &clip : clips())
        ClipFrame::setFileAttribute(clip, QStringLiteral("BadgeData"), badgeText);
    for (auto _ : state) {
        for (const QString &clip : clips()) {
            QString text;
            benchmark::DoNotOptimize(
                ClipFrame::getFileAttribute(clip, QStringLiteral("BadgeData"), text));
        }
    }
    perFile(state);
    for (const QString &clip : clips())
        ClipFrame::removeFileAttribute(clip, QStringLiteral("BadgeData"));
    ClipFramePrivate::setExtendedAttributesDisabled(false);
}
BENCHMARK(BM_AttributeRead)
    ->ArgName("sidecar")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The floor: the bare system calls on the same files.
void BM_RawSetxattr(benchmark::State &state)
{
    const QList<QByteArray> files = nativeClips();
    const QByteArray value = badgeText.toUtf8();
    for (auto _ : state) {
        for (const QByteArray &file : files)
            benchmark::DoNotOptimize(::setxattr(
                file.constData(), "user.zpv.BadgeData", value.constData(), value.size(), 0));
    }
    perFile(state);
    for (const QByteArray &file : files)
        ::removexattr(file.constData(), "user.zpv.BadgeData");
}
BENCHMARK(BM_RawSetxattr)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RawGetxattr(benchmark::State &state)
{
    const QList<QByteArray> files = nativeClips();
    const QByteArray value = badgeText.toUtf8();
    for (const QByteArray &file : files)
        ::setxattr(file.constData(), "user.zpv.BadgeData", value.constData(), value.size(), 0);
    char buffer[4096];
    for (auto _ : state) {
        for (const QByteArray &file : files)
            benchmark::DoNotOptimize(
                ::getxattr(file.constData(), "user.zpv.BadgeData", buffer, sizeof buffer));
    }
    perFile(state);
    for (const QByteArray &file : files)
        ::removexattr(file.constData(), "user.zpv.BadgeData");
}
BENCHMARK(BM_RawGetxattr)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
