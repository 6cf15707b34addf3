// Start-up on the GUI thread, each start in a fresh process of a small host
// application (bench/startup_host.cpp): with the library started right after
// the host's window shows, beside the same host built without the library.
// Measured: the start call's return, the first frame (the overlay's with the
// library), the whole process (launch to exit after that frame) and its peak
// RSS. The library's first launch (an empty BRELVO_HOME) and its later
// launches (the home the earlier ones left) are reported apart. Compare the
// medians of one run.
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

enum class Figure { ToReturn, ToFirstFrame, WholeProcess };

struct Child {
    const char* program;
    bool freshHome;
    QStringList arguments;
};

void measure(benchmark::State& state, const Child& child, Figure figure) {
    QTemporaryDir sharedHome;
    for (auto _ : state) {
        QTemporaryDir freshHome;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("BRELVO_HOME"), (child.freshHome ? freshHome : sharedHome).path());
        QProcess process;
        process.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        process.start(QString::fromLatin1(child.program), child.arguments);
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            state.SkipWithError("the child start-up failed");
            return;
        }
        const qint64 wall = clock.nsecsElapsed();
        const QList<QByteArray> parts = process.readAllStandardOutput().trimmed().split(' ');
        const double ns = figure == Figure::ToReturn       ? parts.value(0).toDouble()
                          : figure == Figure::ToFirstFrame ? parts.value(1).toDouble()
                                                           : static_cast<double>(wall);
        state.SetIterationTime(ns / 1e9);
        state.counters["peak_rss_MiB"] = parts.value(2).toDouble() / 1024;
    }
}

const Child kHostOnly{BRELVO_STARTUP_HOST, true, {}};
const Child kFirstLaunch{BRELVO_STARTUP_HOST_BRELVO, true, {}};
const Child kLaterLaunch{BRELVO_STARTUP_HOST_BRELVO, false, {}};
const Child kBeforeWindow{BRELVO_STARTUP_HOST_BRELVO, false, {QStringLiteral("--start-before-window")}};

void HostOnly_ToReturn(benchmark::State& s) { measure(s, kHostOnly, Figure::ToReturn); }
void HostOnly_ToFirstFrame(benchmark::State& s) { measure(s, kHostOnly, Figure::ToFirstFrame); }
void HostOnly_WholeProcess(benchmark::State& s) { measure(s, kHostOnly, Figure::WholeProcess); }
void FirstLaunch_ToReturn(benchmark::State& s) { measure(s, kFirstLaunch, Figure::ToReturn); }
void FirstLaunch_ToFirstOverlayFrame(benchmark::State& s) { measure(s, kFirstLaunch, Figure::ToFirstFrame); }
void FirstLaunch_WholeProcess(benchmark::State& s) { measure(s, kFirstLaunch, Figure::WholeProcess); }
void LaterLaunch_ToReturn(benchmark::State& s) { measure(s, kLaterLaunch, Figure::ToReturn); }
void LaterLaunch_ToFirstOverlayFrame(benchmark::State& s) { measure(s, kLaterLaunch, Figure::ToFirstFrame); }
void LaterLaunch_WholeProcess(benchmark::State& s) { measure(s, kLaterLaunch, Figure::WholeProcess); }
// The start call before any window shows: only the part that needs no view.
void LaterLaunch_NonUiStart(benchmark::State& s) { measure(s, kBeforeWindow, Figure::ToReturn); }

#define STARTUP_BENCHMARK(name)                                                                        \
    BENCHMARK(name)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(15)->  \
        ReportAggregatesOnly(true)
STARTUP_BENCHMARK(HostOnly_ToReturn);
STARTUP_BENCHMARK(FirstLaunch_ToReturn);
STARTUP_BENCHMARK(LaterLaunch_ToReturn);
STARTUP_BENCHMARK(LaterLaunch_NonUiStart);
STARTUP_BENCHMARK(HostOnly_ToFirstFrame);
STARTUP_BENCHMARK(FirstLaunch_ToFirstOverlayFrame);
STARTUP_BENCHMARK(LaterLaunch_ToFirstOverlayFrame);
STARTUP_BENCHMARK(HostOnly_WholeProcess);
STARTUP_BENCHMARK(FirstLaunch_WholeProcess);
STARTUP_BENCHMARK(LaterLaunch_WholeProcess);

}  // namespace

BENCHMARK_MAIN();
