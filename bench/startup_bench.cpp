// Start-up on the GUI thread: the host's main window shown and the library
// started with one call, measured to the start call's return and to the first
// frame that shows the overlay; beside the same host window shown without the
// library, to its return and its first frame. The library starts once per
// process, so every iteration runs in a fresh child process of this program.
#include <brelvo/Brelvo.h>

#include "ui/session/BrelvoWindow.h"
#include "ui/session/CustomViewBrelvo.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

namespace {

// Notes the moment a widget paints for the first time.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QElapsedTimer* clock) : clock_(clock) {}
    qint64 at = -1;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && at < 0) at = clock_->nsecsElapsed();
        return false;
    }

private:
    QElapsedTimer* clock_;
};

// One start-up, in this (child) process: prints "<to return ns> <to first frame ns>".
int runChild(int argc, char** argv, bool withLibrary) {
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("BRELVO_HOME", home.path().toUtf8());
    app.setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:9/"));
    QWidget host;
    host.resize(390, 844);
    auto* layout = new QVBoxLayout(&host);
    for (int i = 0; i < 12; ++i) layout->addWidget(new QPushButton(QStringLiteral("Note %1").arg(i)));

    QElapsedTimer clock;
    FirstPaint painted(&clock);
    clock.start();
    host.show();
    qint64 returned = 0;
    QWidget* watched = &host;
    if (withLibrary) {
        brelvo::Brelvo::shared().initializeWithOptions(0);
        returned = clock.nsecsElapsed();
        // The menu panel is the overlay's first painted view.
        watched = brelvo::Brelvo::shared().mainView();
    } else {
        returned = clock.nsecsElapsed();
    }
    watched->installEventFilter(&painted);
    while (painted.at < 0 && clock.elapsed() < 10000) app.processEvents(QEventLoop::AllEvents, 5);
    std::printf("%lld %lld\n", static_cast<long long>(returned), static_cast<long long>(painted.at));
    return painted.at < 0 ? 1 : 0;
}

QString self;

void measure(benchmark::State& state, const char* mode, bool toFirstFrame) {
    for (auto _ : state) {
        QProcess child;
        child.start(self, {QString::fromLatin1(mode)});
        if (!child.waitForFinished(30000) || child.exitCode() != 0) {
            state.SkipWithError("the child start-up failed");
            return;
        }
        const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
        const double ns = parts.value(toFirstFrame ? 1 : 0).toDouble();
        state.SetIterationTime(ns / 1e9);
    }
}

void WithLibrary_ToReturn(benchmark::State& s) { measure(s, "--child-with", false); }
void WithLibrary_ToFirstOverlayFrame(benchmark::State& s) { measure(s, "--child-with", true); }
void Baseline_HostOnly_ToReturn(benchmark::State& s) { measure(s, "--child-without", false); }
void Baseline_HostOnly_ToFirstFrame(benchmark::State& s) { measure(s, "--child-without", true); }
BENCHMARK(WithLibrary_ToReturn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(Baseline_HostOnly_ToReturn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(WithLibrary_ToFirstOverlayFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(Baseline_HostOnly_ToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child-with") == 0) return runChild(argc, argv, true);
    if (argc > 1 && std::strcmp(argv[1], "--child-without") == 0) return runChild(argc, argv, false);
    self = QString::fromLocal8Bit(argv[0]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
