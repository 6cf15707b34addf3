// A small host application that starts the library and then fails the way its
// first argument says, for the crash tests:
//
//   crashing_host <mode> <service url> [session deadline ms]
//
// Modes: segv eleventh-segv abort ill fpe bus pipe int sys xcpu xfsz exception
// thread-segv two-threads-segv gui-blocked-segv thread-overflow pool-overflow
// host-pipe-handler notify start. A mode ending in "-in-requirement" also waits for a running
// requirement before failing. "start" fails in no way: it waits for the
// session, then until the crash queue is empty (or a deadline), and exits 0.
// "notify" asks for a local notification 1.5 s later and exits 2 s after it.
#include <brelvo/Brelvo.h>

#include "core/BrelvoComponents.h"
#include "diagnostics/CrashHandlers.h"
#include "diagnostics/CrashHelper.h"
#include "platform/Dispatch.h"
#include "protocol/NetworkClientBrelvo.h"
#include "ui/session/CustomViewBrelvo.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_hostPipeHandlerRan = 0;

void hostPipeHandler(int) {
    g_hostPipeHandlerRan = 1;
}

// A real fault, not one the sanitizers stop first: a write to the unmapped
// first page, outside their checks.
[[noreturn, gnu::noinline, gnu::no_sanitize("address", "undefined")]] void nullWrite() {
    volatile std::uintptr_t address = 16;
    *reinterpret_cast<volatile int*>(address) = 42;
    std::abort();  // not reached
}

// Recurses until the thread's stack is gone (the limit is never reached).
[[gnu::noinline, gnu::no_sanitize("address", "undefined")]] int overflow(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth == std::numeric_limits<int>::max()) return frame[0];
    return overflow(depth + 1) + frame[0];
}

void fail(const QString& mode) {
    std::fprintf(stdout, "failing: %s\n", qPrintable(mode));
    std::fflush(stdout);
    if (mode == QLatin1String("segv")) nullWrite();
    if (mode == QLatin1String("abort")) std::abort();
    if (mode == QLatin1String("eleventh-segv")) {
        // Ten failures were handled already in this run.
        brelvo::BrelvoUncaughtExceptionCount.store(10);
        nullWrite();
    }
    if (mode == QLatin1String("ill")) __builtin_trap();
    if (mode == QLatin1String("fpe")) std::raise(SIGFPE);
    if (mode == QLatin1String("bus")) std::raise(SIGBUS);
    if (mode == QLatin1String("int")) std::raise(SIGINT);
    if (mode == QLatin1String("sys")) std::raise(SIGSYS);
    if (mode == QLatin1String("xcpu")) std::raise(SIGXCPU);
    if (mode == QLatin1String("xfsz")) std::raise(SIGXFSZ);
    if (mode == QLatin1String("pipe")) {
        int fds[2];
        if (::pipe(fds) != 0) std::exit(4);
        ::close(fds[0]);
        const ssize_t n = ::write(fds[1], "x", 1);
        std::exit(n < 0 ? 5 : 6);  // the signal should have ended us first
    }
    if (mode == QLatin1String("exception")) throw std::runtime_error("crashing host: thrown from a slot");
    if (mode == QLatin1String("thread-segv")) {
        // Not joined: the GUI thread must stay free to run the handling step.
        std::thread([] { nullWrite(); }).detach();
        return;
    }
    if (mode == QLatin1String("two-threads-segv")) {
        // Two workers fault at the same moment.
        static std::atomic<int> ready{0};
        for (int i = 0; i < 2; ++i) {
            std::thread([] {
                ready.fetch_add(1);
                while (ready.load() < 2) std::this_thread::yield();
                nullWrite();
            }).detach();
        }
        return;
    }
    if (mode == QLatin1String("gui-blocked-segv")) {
        // The GUI thread waits for a lock the failing worker holds: the
        // handling step can never run there.
        static std::mutex held;
        static std::atomic<bool> locked{false};
        std::thread([] {
            held.lock();
            locked.store(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            nullWrite();
        }).detach();
        while (!locked.load()) std::this_thread::yield();
        held.lock();
        return;
    }
    if (mode == QLatin1String("thread-overflow")) {
        std::thread([] {
            brelvo::Brelvo::prepareThreadForCrashReports();
            overflow(0);
        }).detach();
        return;
    }
    if (mode == QLatin1String("pool-overflow")) {
        brelvo::dispatch::toGlobal([] { overflow(0); });
        return;
    }
    if (mode == QLatin1String("host-pipe-handler")) {
        std::raise(SIGPIPE);
        std::exit(g_hostPipeHandlerRan ? 0 : 3);
    }
    if (mode == QLatin1String("notify")) {
        // A notification due in 1.5 s; the host lives on for 2 s after that.
        brelvo::components().registerLocalNotificationWithText(QStringLiteral("Build 2.5 \"Notes\" is ready"),
                                                                  QDateTime::currentDateTime().addMSecs(1500));
        QTimer::singleShot(3500, qApp, [] { QCoreApplication::exit(0); });
        return;
    }
    if (mode == QLatin1String("start")) {
        auto* wait = new QTimer(qApp);
        auto* clock = new QElapsedTimer;
        clock->start();
        QObject::connect(wait, &QTimer::timeout, qApp, [clock] {
            if (brelvo::CrashHelper::queuedCrashes().isEmpty() || clock->elapsed() > 5000) QCoreApplication::exit(0);
        });
        wait->start(50);
        return;
    }
    std::exit(7);
}

}  // namespace

int main(int argc, char** argv) {
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 3) {
        std::fprintf(stderr, "usage: crashing_host <mode> <service url> [session deadline ms]\n");
        return 2;
    }
    QString mode = QString::fromLocal8Bit(argv[1]);
    const QLatin1String inRequirement("-in-requirement");
    const bool waitForRequirement = mode.endsWith(inRequirement);
    if (waitForRequirement) mode.chop(inRequirement.size());
    if (mode == QLatin1String("host-pipe-handler")) ::signal(SIGPIPE, &hostPipeHandler);

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.notes"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.4"));
    app.setProperty("brelvo_project_id", QStringLiteral("demo-key-0001"));
    app.setProperty("brelvo_service_url", QString::fromLocal8Bit(argv[2]));
    const int deadlineMs = argc > 3 ? QByteArray(argv[3]).toInt() : 15000;

    QWidget window;
    window.resize(320, 480);
    window.show();
    brelvo::Brelvo::shared().initialize();

    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        brelvo::CustomViewBrelvo* panel = brelvo::components().mainView();
        const bool session = panel && panel->buttonMode() == 1;
        const QString rid = brelvo::NetworkClientBrelvo::shared().rrid();
        const bool ready = session && (!waitForRequirement || !rid.isEmpty());
        if (!ready && clock.elapsed() < deadlineMs) return;
        poll.stop();
        std::fprintf(stdout, "session: %s\n", session ? "yes" : "no");
        if (waitForRequirement) std::fprintf(stdout, "requirement: %s\n", qPrintable(rid));
        fail(mode);
    });
    poll.start(20);
    return app.exec();
}
