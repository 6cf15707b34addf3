#include "diagnostics/CrashHandlers.h"

#include "diagnostics/CrashCapture.h"
#include "diagnostics/CrashFile.h"
#include "diagnostics/CrashHandling.h"
#include "diagnostics/CrashWatchdog.h"

#include <QCoreApplication>
#include <QThread>

#include <csignal>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <iterator>
#include <execinfo.h>
#include <pthread.h>
#include <time.h>
#include <typeinfo>
#include <unistd.h>

namespace brelvo {

std::atomic<std::int32_t> BrelvoUncaughtExceptionCount{0};

namespace {

// Linux has no SIGEMT; where it exists it takes its place in the order.
constexpr int kHookedSignals[] = {
    SIGABRT, SIGILL, SIGSEGV, SIGFPE, SIGBUS, SIGPIPE,
#ifdef SIGEMT
    SIGEMT,
#endif
    SIGINT, SIGSYS, SIGXCPU, SIGXFSZ,
};

// Everything the handlers touch is prepared at start-up.
CrashFile g_crashFile;
pthread_t g_guiThread{};
std::atomic<bool> g_guiThreadKnown{false};
// Set by the terminate handler: the SIGABRT that abort() raises afterwards
// belongs to a report already made.
std::atomic<bool> g_terminating{false};
// One failing thread at a time hands its failure to the GUI thread; the
// others wait (their reports are already in the crash file).
std::atomic<bool> g_turnTaken{false};
std::terminate_handler g_previousTerminate = nullptr;

// Where the interesting part of a stack captured in a handler begins: at the
// handler's return address (an instrumented build adds frames of its own
// before it), or after frame 0 when it is not found. Async-signal-safe.
int firstFrameAt(void* const* frames, int n, void* returnAddress) {
    for (int i = 0; i < n; ++i) {
        if (frames[i] == returnAddress) return i;
    }
    return n > 1 ? 1 : 0;
}

bool onGuiThread() {
    return g_guiThreadKnown.load() && pthread_equal(pthread_self(), g_guiThread);
}

void unblock(int signal) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void restoreDefaultActions() {
    for (int s : kHookedSignals) ::signal(s, SIG_DFL);
}

[[noreturn]] void dieByTerminate() {
    restoreDefaultActions();
    std::set_terminate(g_previousTerminate);
    if (g_previousTerminate && g_previousTerminate != &HandleBrelvoException) g_previousTerminate();
    std::abort();
}

QVariantList toVariantList(void* const* frames, int count) {
    QVariantList out;
    for (int i = 0; i < count; ++i) out << QVariant::fromValue<qulonglong>(reinterpret_cast<std::uintptr_t>(frames[i]));
    return out;
}

// Runs the handling step on the GUI thread and waits for it; from the GUI
// thread itself, directly.
void handOff(const BrelvoException& e) {
    if (!QCoreApplication::instance()) {
        crash::handleException(e);
        return;
    }
    if (onGuiThread()) {
        g_turnTaken.store(true);
        crash::handleException(e);
        return;
    }
    bool expected = false;
    while (!g_turnTaken.compare_exchange_weak(expected, true)) {
        expected = false;
        const timespec pause{0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    QMetaObject::invokeMethod(
        qApp, [&e] { crash::handleException(e); }, Qt::BlockingQueuedConnection);
}

}  // namespace

// ---------------------------------------------------------------- handlers

[[gnu::noinline]] void SignalBrelvoHandler(int signal) {
    if (signal == SIGABRT && g_terminating.load()) crash::dieBySignal(signal);
    const int count = BrelvoUncaughtExceptionCount.fetch_add(1) + 1;
    // Returning from a fault would only fault again, forever: past the limit
    // the signal takes its default action instead.
    if (count > crash::kMaxHandled) crash::dieBySignal(signal);

    // First the crash file, with async-signal-safe calls only.
    void* frames[CrashFile::kMaxFrames];
    const int n = ::backtrace(frames, CrashFile::kMaxFrames);
    // From the frame the signal interrupted: the handler and the kernel's
    // return trampoline are left out.
    int first = firstFrameAt(frames, n, __builtin_return_address(0));
    if (first + 1 < n && frames[first] == __builtin_return_address(0)) ++first;
    void* const* stack = frames + first;
    const int depth = n - first;
    CrashFile::Record record;
    record.kind = CrashFile::Signal;
    record.signal = signal;
    record.frames = stack;
    record.frameCount = depth;
    const int slot = g_crashFile.write(record);
    crash::wakeWatchdog(signal);

    BrelvoException e;
    e.name = crash::kSignalExceptionName;
    e.userInfo.insert(crash::kSignalKey, signal);
    e.userInfo.insert(crash::kFramesKey, toVariantList(stack, depth));
    if (slot >= 0) e.userInfo.insert(crash::kSlotKey, slot);
    handOff(e);
}

[[gnu::noinline]] void HandleBrelvoException() {
    // abort() follows this handler: its SIGABRT is the same failure.
    g_terminating.store(true);
    const int count = BrelvoUncaughtExceptionCount.fetch_add(1) + 1;
    if (count > crash::kMaxHandled) dieByTerminate();

    void* frames[CrashFile::kMaxFrames];
    const int n = ::backtrace(frames, CrashFile::kMaxFrames);

    QString name = QStringLiteral("std::exception");
    QString reason;
    if (std::type_info* type = abi::__cxa_current_exception_type()) {
        int status = 0;
        char* plain = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
        name = QString::fromUtf8(status == 0 && plain ? plain : type->name());
        std::free(plain);
        try {
            std::rethrow_exception(std::current_exception());
        } catch (const std::exception& ex) {
            reason = QString::fromUtf8(ex.what());
        } catch (...) {
        }
    } else {
        name = QStringLiteral("std::terminate");
        reason = QStringLiteral("terminate called without an active exception");
    }

    const QByteArray text = (name + QLatin1Char('\n') + reason).toUtf8();
    CrashFile::Record record;
    record.kind = CrashFile::Exception;
    record.signal = SIGABRT;
    const int first = firstFrameAt(frames, n, __builtin_return_address(0));
    record.frames = frames + first;
    record.frameCount = n - first;
    record.text = text.constData();
    record.textLength = static_cast<std::size_t>(text.size());
    const int slot = g_crashFile.write(record);
    crash::wakeWatchdog(SIGABRT);

    BrelvoException e;
    e.name = name;
    e.reason = reason;
    e.userInfo.insert(crash::kFramesKey, toVariantList(record.frames, record.frameCount));
    if (slot >= 0) e.userInfo.insert(crash::kSlotKey, slot);
    handOff(e);
    dieByTerminate();
}

// ---------------------------------------------------------------- ending

// Inside the handler the signal is blocked, so it is unblocked first.
[[noreturn]] void crash::dieBySignal(int signal) {
    ::signal(signal, SIG_DFL);
    unblock(signal);
    ::kill(::getpid(), signal);
    ::raise(signal);
    ::_exit(128 + signal);
}

[[noreturn]] void crash::dieAfterHandling(const BrelvoException& e) {
    std::set_terminate(g_previousTerminate);
    restoreDefaultActions();
    if (e.name == kSignalExceptionName) dieBySignal(e.userInfo.value(kSignalKey).toInt());
    g_terminating.store(true);
    dieByTerminate();
}

// ---------------------------------------------------------------- installation

CrashFile& crash::crashFile() {
    return g_crashFile;
}

const int* crash::hookedSignals(int* count) {
    *count = static_cast<int>(std::size(kHookedSignals));
    return kHookedSignals;
}

void crash::replaceHandler(int signal, const struct ::sigaction& action) {
    struct ::sigaction previous {};
    if (::sigaction(signal, &action, &previous) != 0) return;
    const bool hostHandler = (previous.sa_flags & SA_SIGINFO) || previous.sa_handler != SIG_DFL;
    if (hostHandler) ::sigaction(signal, &previous, nullptr);
}

void crash::rememberGuiThread() {
    if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread()) {
        g_guiThread = pthread_self();
        g_guiThreadKnown.store(true);
    } else if (QCoreApplication::instance()) {
        QMetaObject::invokeMethod(qApp, [] {
            g_guiThread = pthread_self();
            g_guiThreadKnown.store(true);
        }, Qt::QueuedConnection);
    }
}

void crash::hookHandlers() {
    g_previousTerminate = std::set_terminate(&HandleBrelvoException);
    struct ::sigaction action {};
    action.sa_handler = &SignalBrelvoHandler;
    sigemptyset(&action.sa_mask);
    // On the alternate stack, so that a stack overflow is reported too.
    action.sa_flags = SA_ONSTACK;
    for (int s : kHookedSignals) replaceHandler(s, action);
}

}  // namespace brelvo
