// Signing one typical status update: ours against the HMAC alone (the floor)
// and against the peers, in one run, with the ratios printed at the end.

#include "twitter/signature.h"

#include <QMessageAuthenticationCode>
#include <QOAuth1Signature>
#include <QProcess>
#include <QUrl>

#include <benchmark/benchmark.h>
#include <oauth.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

const QString url = QStringLiteral("http://api.twitter.com/1/statuses/update.xml");
const QString token = QStringLiteral("12345678-AbCdEfGhIjKlMnOpQrStUvWxYz0123456789abcde");
const QString tokenSecret = QStringLiteral("Sx4nd82KdlQ9zWmPqR7tYuI0oP1aSdFgHjKlZxCvBn");

// 100 characters, a few of them escaped, as a real tweet would have.
QString typicalStatus()
{
    const QString text = QStringLiteral("Just shared my new webcam clip from the gallery: "
                                        "sunset over the lake & the hills, watch it now! #zpv");
    return text.leftJustified(100, u'.', true);
}

void prepare(Signature &s)
{
    s.urlString = url;
    s.oauth_token = token;
    s.oauth_token_secret = tokenSecret;
    s.clearParams();
    s.setupOAuthParams();
    s.addParam(QStringLiteral("status"), typicalStatus());
}

// The finished base string of the typical update and the key it is signed with.
struct Signed
{
    QByteArray base;
    QByteArray key;
};

Signed signedUpdate()
{
    Signature s;
    prepare(s);
    s.createSignature(0);
    return { s.signatureBaseString.toLatin1(),
        s.oauth_consumer_secret.toLatin1() + '&' + tokenSecret.toLatin1() };
}

void BM_Floor(benchmark::State &state)
{
    const auto [base, key] = signedUpdate();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            QMessageAuthenticationCode::hash(base, key, QCryptographicHash::Sha1));
}

// The same HMAC with its state kept and reset between requests, as the
// signer keeps it: the stricter floor.
void BM_FloorKeyKept(benchmark::State &state)
{
    const auto [base, key] = signedUpdate();
    QMessageAuthenticationCode mac(QCryptographicHash::Sha1, key);
    for (auto _ : state) {
        mac.reset();
        mac.addData(base);
        benchmark::DoNotOptimize(mac.result());
    }
}

void BM_Ours(benchmark::State &state)
{
    Signature s;
    prepare(s);
    for (auto _ : state) {
        s.createSignature(0);
        benchmark::DoNotOptimize(s.authorizationHeader.constData());
    }
}

// What a caller pays per request: fresh nonce and time, parameters, signing.
void BM_OursWholeRequest(benchmark::State &state)
{
    Signature s;
    const QString status = typicalStatus();
    for (auto _ : state) {
        s.urlString = url;
        s.oauth_token = token;
        s.oauth_token_secret = tokenSecret;
        s.newNonce();
        s.newTimestamp();
        s.clearParams();
        s.setupOAuthParams();
        s.addParam(QStringLiteral("status"), status);
        s.createSignature(0);
        benchmark::DoNotOptimize(s.authorizationHeader.constData());
    }
}

void BM_QOAuth1Signature(benchmark::State &state)
{
    Signature s;
    prepare(s);
    QMultiMap<QString, QVariant> params;
    for (auto it = s.signatureParams.cbegin(); it != s.signatureParams.cend(); ++it)
        params.insert(it.key(), it.value());
    for (auto _ : state) {
        QOAuth1Signature qt(QUrl(url), s.oauth_consumer_secret, tokenSecret,
            QOAuth1Signature::HttpRequestMethod::Post, params);
        benchmark::DoNotOptimize(qt.hmacSha1().toBase64());
    }
}

void BM_LibOAuth(benchmark::State &state)
{
    const QByteArray status = QUrl::toPercentEncoding(typicalStatus());
    const QByteArray request = url.toLatin1() + "?status=" + status;
    const QByteArray key = Signature::defaultConsumerKey().toLatin1();
    const QByteArray secret = Signature::defaultConsumerSecret().toLatin1();
    const QByteArray t = token.toLatin1();
    const QByteArray ts = tokenSecret.toLatin1();
    for (auto _ : state) {
        char *postargs = nullptr;
        char *signedUrl = oauth_sign_url2(request.constData(), &postargs, OA_HMAC, "POST",
            key.constData(), secret.constData(), t.constData(), ts.constData());
        benchmark::DoNotOptimize(postargs);
        free(signedUrl);
        free(postargs);
    }
}

// The least of the repetitions: other jobs share the machine and only ever
// add time.
double least(const std::vector<double> &values)
{
    return *std::min_element(values.cbegin(), values.cend());
}

// Keeps the least CPU time per iteration of every benchmark, in µs.
class Collector : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "least")
                micros[run.run_name.function_name] = run.GetAdjustedCPUTime() / 1000;
        }
    }
    std::map<std::string, double> micros;
};

QString oauthlibMicros()
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral(BENCH_SOURCE_DIR "/oauthlib_timing.py"), typicalStatus() });
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        return QString();
    return QString::fromLatin1(python.readAllStandardOutput()).trimmed();
}

} // namespace

BENCHMARK(BM_Floor)->ComputeStatistics("least", least);
BENCHMARK(BM_FloorKeyKept)->ComputeStatistics("least", least);
BENCHMARK(BM_Ours)->ComputeStatistics("least", least);
BENCHMARK(BM_OursWholeRequest)->ComputeStatistics("least", least);
BENCHMARK(BM_QOAuth1Signature)->ComputeStatistics("least", least);
BENCHMARK(BM_LibOAuth)->ComputeStatistics("least", least);

int main(int argc, char **argv)
{
    // Repetitions interleaved, so a busy spell of the machine does not fall
    // on one benchmark alone; flags given on the command line come later
    // and win.
    std::vector<char *> args { argv[0], const_cast<char *>("--benchmark_repetitions=10"),
        const_cast<char *>("--benchmark_enable_random_interleaving=true"),
        const_cast<char *>("--benchmark_min_time=0.2"),
        const_cast<char *>("--benchmark_report_aggregates_only=true") };
    args.insert(args.end(), argv + 1, argv + argc);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();

    auto &t = collector.micros;
    std::printf("\nµs per signature, least of the repetitions (100-character status, access "
                "token present):\n");
    for (const auto &[name, micros] : t)
        std::printf("  %-22s %8.3f\n", name.c_str(), micros);
    if (t.count("BM_Ours") && t.count("BM_Floor"))
        std::printf("ours / floor:             %6.2f\n", t["BM_Ours"] / t["BM_Floor"]);
    if (t.count("BM_Ours") && t.count("BM_FloorKeyKept"))
        std::printf("ours / floor, key kept:   %6.2f\n", t["BM_Ours"] / t["BM_FloorKeyKept"]);
    for (const char *peer : { "BM_QOAuth1Signature", "BM_LibOAuth" }) {
        if (t.count(peer) && t.count("BM_Ours"))
            std::printf("%-25s %6.2f\n", (std::string(peer + 3) + " / ours:").c_str(),
                t[peer] / t["BM_Ours"]);
    }
    const QString python = oauthlibMicros();
    if (!python.isEmpty()) {
        std::printf("python3-oauthlib Client.sign: %s µs", qPrintable(python));
        if (t.count("BM_Ours"))
            std::printf(" (%.0f x ours)", python.toDouble() / t["BM_Ours"]);
        std::printf("\n");
    }
    return 0;
}
