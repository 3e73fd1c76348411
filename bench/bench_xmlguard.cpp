// What the XML guard costs on a typical status reply, and how fast it turns
// away the inputs that would stall or blow up the DOM parser.
#include "platform/xmlguard.h"

#include <QDomDocument>

#include <benchmark/benchmark.h>

namespace {

QString statusReply()
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<status>\n"
                          " <created_at>Tue Apr 07 22:52:51 +0000 2009</created_at>\n"
                          " <id>1472669360</id>\n <text>A short status with a link "
                          "http://tiny.example/abc</text>\n <user>\n  <id>1401881</id>\n"
                          "  <name>Ann Lee</name>\n  <screen_name>ann</screen_name>\n"
                          "  <profile_image_url>http://img.example/p.png</profile_image_url>\n"
                          " </user>\n</status>\n");
}

void parsePlain(benchmark::State &state)
{
    const QString text = statusReply();
    for (auto _ : state) {
        QDomDocument doc;
        benchmark::DoNotOptimize(doc.setContent(text));
    }
}

void parseGuarded(benchmark::State &state)
{
    const QString text = statusReply();
    for (auto _ : state) {
        QDomDocument doc;
        benchmark::DoNotOptimize(setGuardedContent(doc, text));
    }
}

void refuseDeep(benchmark::State &state)
{
    const int depth = int(state.range(0));
    const QString text
        = QStringLiteral("<a>").repeated(depth) + QStringLiteral("</a>").repeated(depth);
    for (auto _ : state)
        benchmark::DoNotOptimize(xmlGuardRefusal(text));
}

void refuseEntityBomb(benchmark::State &state)
{
    const QString text = QStringLiteral("<!DOCTYPE r [<!ENTITY e \"")
        + QString(3000, QLatin1Char('x')) + QStringLiteral("\">]><r>")
        + QStringLiteral("&e;").repeated(50000) + QStringLiteral("</r>");
    for (auto _ : state)
        benchmark::DoNotOptimize(xmlGuardRefusal(text));
}

void scanLargestAccepted(benchmark::State &state)
{
    // 1 MiB of shallow elements: the most work the guard does on input it lets through.
    QString text = QStringLiteral("<r>");
    while (text.size() < xmlGuardMaxSize - 20)
        text += QStringLiteral("<i>x</i>");
    text += QStringLiteral("</r>");
    for (auto _ : state)
        benchmark::DoNotOptimize(xmlGuardRefusal(text));
    state.SetBytesProcessed(state.iterations() * text.size() * qsizetype(sizeof(QChar)));
}

} // namespace

BENCHMARK(parsePlain);
BENCHMARK(parseGuarded);
BENCHMARK(refuseDeep)->Arg(1000)->Arg(100000);
BENCHMARK(refuseEntityBomb);
BENCHMARK(scanLargestAccepted)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
