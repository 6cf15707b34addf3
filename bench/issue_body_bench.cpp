// Building the "post_issue" body of an issue with five 2 MB screenshots,
// beside the floor: the same file bytes Base64-encoded into one buffer that
// was allocated at its final size. Each case also reports the peak memory it
// added while running (the process's high-water mark, reset before each run)
// against the body's size.
#include "protocol/Base64Brelvo.h"
#include "protocol/JSONClientBrelvo.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <fstream>
#include <random>
#include <string>

namespace {

constexpr qsizetype kScreenshotBytes = 2 * 1024 * 1024;
constexpr int kScreenshots = 5;

QStringList& screenshots() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/brelvo-bench-XXXXXX"));
    static QStringList paths = [] {
        QStringList list;
        std::mt19937 random(42);
        for (int i = 0; i < kScreenshots; ++i) {
            QByteArray bytes(kScreenshotBytes, Qt::Uninitialized);
            for (auto& b : bytes) b = static_cast<char>(random());  // incompressible, like a real PNG
            const QString path = dir.filePath(QStringLiteral("shot%1.png").arg(i));
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly)) std::abort();
            f.write(bytes);
            list.append(path);
        }
        return list;
    }();
    return paths;
}

long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
    return 0;
}

// Resets the high-water mark of resident memory to the current size.
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void reportPeak(benchmark::State& state, long startKiB, qsizetype bodyBytes) {
    state.counters["body_MB"] = double(bodyBytes) / (1024 * 1024);
    state.counters["peak_added_MB"] = double(statusKiB("VmHWM:") - startKiB) / 1024;
}

void PostIssueBody(benchmark::State& state) {
    const QStringList paths = screenshots();
    qsizetype size = 0;
    long start = 0;
    for (auto _ : state) {
        state.PauseTiming();
        resetPeak();
        start = statusKiB("VmRSS:");
        state.ResumeTiming();
        const QByteArray body = brelvo::JSONClientBrelvo::shared().buildPostIssueBody(
            QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("Crash on save"),
            QStringLiteral("Steps: open a note, save it."), paths, QStringLiteral("token"), QStringLiteral(""),
            QStringLiteral("0"), QStringLiteral("0"));
        benchmark::DoNotOptimize(body.constData());
        size = body.size();
    }
    reportPeak(state, start, size);
}
BENCHMARK(PostIssueBody)->Unit(benchmark::kMillisecond);

void Baseline_Base64IntoPreallocatedBuffer(benchmark::State& state) {
    const QStringList paths = screenshots();
    qsizetype size = 0;
    long start = 0;
    for (auto _ : state) {
        state.PauseTiming();
        resetPeak();
        start = statusKiB("VmRSS:");
        state.ResumeTiming();
        QByteArray out;
        out.reserve(kScreenshots * ((kScreenshotBytes + 2) / 3 * 4));
        for (const QString& path : paths) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly)) std::abort();
            const QByteArray bytes = f.readAll();
            brelvo::Base64Brelvo::encodeInto(out, bytes.constData(), bytes.size());
        }
        benchmark::DoNotOptimize(out.constData());
        size = out.size();
    }
    reportPeak(state, start, size);
}
BENCHMARK(Baseline_Base64IntoPreallocatedBuffer)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Large blocks straight from and back to the kernel, so that the
    // high-water mark of resident memory sees every run's own peak instead of
    // memory the allocator kept from an earlier run.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024);
    QApplication app(argc, argv);  // the body's device values read the screen and locale
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
