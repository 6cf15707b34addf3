#include "diagnostics/CrashCapture.h"

#include "diagnostics/CrashContext.h"
#include "diagnostics/CrashFile.h"
#include "diagnostics/CrashHelper.h"
#include "diagnostics/CrashSymbols.h"
#include "diagnostics/ErrorHandlerFile.h"
#include "platform/AppPaths.h"
#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "protocol/NetworkClientBrelvo.h"
#include "ui/session/BVAlert.h"
#include "ui/session/BrelvoWindow.h"
#include "ui/session/CustomViewBrelvo.h"

#include <QApplication>
#include <QEasingCurve>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QThread>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <execinfo.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <time.h>
#include <thread>
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

// The handling step may build widgets and spin the event loop on this stack
// (a GUI-thread fault), so it is large, and a guard page below it turns an
// overflow into a fault instead of silent heap damage.
constexpr std::size_t kAltStackSize = 4 * 1024 * 1024;

// Everything the handlers touch is prepared at start-up.
CrashFile g_crashFile;
std::atomic<bool> g_installed{false};
pthread_t g_guiThread{};
std::atomic<bool> g_guiThreadKnown{false};
// Set by the terminate handler: the SIGABRT that abort() raises afterwards
// belongs to a report already made.
std::atomic<bool> g_terminating{false};
// One failing thread at a time hands its failure to the GUI thread; the
// others wait (their reports are already in the crash file).
std::atomic<bool> g_turnTaken{false};
std::terminate_handler g_previousTerminate = nullptr;

// The watchdog: a thread started with the handlers, asleep until a failure
// wakes it. When the handling step does not get going on the GUI thread in
// time (the GUI thread is blocked, or the failing thread hangs on a lock it
// interrupted, such as the allocator's), it ends the process with the
// failure's signal, as the failure would have without the library. The report
// is in the crash file by then and goes out at the next start.
sem_t g_watchdogWake;
std::atomic<int> g_watchedSignal{0};
// 0 nothing yet, 1 the handling step began, 2 the report is out and the alert up.
std::atomic<int> g_handlingStage{0};
constexpr std::chrono::seconds kStartDeadline{10};
// Beyond the transport's own time-out, for the phone state and the alert.
constexpr std::chrono::seconds kHandlingMargin{20};
enum class AutoConfirm { Off, Yes, Never };
AutoConfirm g_autoConfirm = AutoConfirm::Off;

// The crash alert's delegate: the facade.
class CrashAlertDelegate : public BVAlertDelegate {
public:
    void successButtonPressed() override { Brelvo::shared().successButtonPressed(); }
};
CrashAlertDelegate g_alertDelegate;

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

// Lets the signal take its default action (the process ends). Inside the
// handler the signal is blocked, so it is unblocked first.
[[noreturn]] void dieBySignal(int signal) {
    ::signal(signal, SIG_DFL);
    unblock(signal);
    ::kill(::getpid(), signal);
    ::raise(signal);
    ::_exit(128 + signal);
}

[[noreturn]] void dieByTerminate() {
    restoreDefaultActions();
    std::set_terminate(g_previousTerminate);
    if (g_previousTerminate && g_previousTerminate != &HandleBrelvoException) g_previousTerminate();
    std::abort();
}

// Waits until the stage is reached or the deadline passes.
bool reachedInTime(int stage, std::chrono::steady_clock::duration deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (g_handlingStage.load() < stage) {
        if (std::chrono::steady_clock::now() >= end) return false;
        const timespec pause{0, 20 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    return true;
}

void watchdog() {
    // Read now: after a failure, the transport's lock might be held by the failed thread.
    const auto handling = NetworkClientBrelvo::shared().timeout() + kHandlingMargin;
    while (sem_wait(&g_watchdogWake) != 0) {
    }
    if (reachedInTime(1, kStartDeadline) && reachedInTime(2, handling)) return;
    static const char message[] =
        "brelvo: the crash could not be handled in time; the process ends and the report is sent at the next start\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
    // This thread does not block the signal: it takes its default action here.
    dieBySignal(g_watchedSignal.load());
}

// From a handler, after the crash file was written: async-signal-safe.
void wakeWatchdog(int signal) {
    int none = 0;
    if (g_watchedSignal.compare_exchange_strong(none, signal)) sem_post(&g_watchdogWake);
}

QString stackDescription(const QStringList& lines) {
    if (lines.isEmpty()) return QStringLiteral("(\n)");
    return QStringLiteral("(\n    ") + lines.join(QStringLiteral(",\n    ")) + QStringLiteral("\n)");
}

std::vector<std::uint64_t> toFrames(const QVariant& list) {
    std::vector<std::uint64_t> out;
    for (const QVariant& v : list.toList()) out.push_back(v.toULongLong());
    return out;
}

QVariantList toVariantList(void* const* frames, int count) {
    QVariantList out;
    for (int i = 0; i < count; ++i) out << QVariant::fromValue<qulonglong>(reinterpret_cast<std::uintptr_t>(frames[i]));
    return out;
}

// The report text: the reason and the stack. An exception's reason alone
// (what()) does not say what was thrown, so its type leads.
QString reportText(const BrelvoException& e) {
    const QVariant addresses = e.userInfo.value(crash::kAddressesKey);
    const QString reason = e.name == crash::kSignalExceptionName ? e.reason : e.name + QStringLiteral(": ") + e.reason;
    return reason + QLatin1Char('\n') + (addresses.isValid() ? stackDescription(addresses.toStringList()) : QString());
}

}  // namespace

// ---------------------------------------------------------------- descriptions

// Keyed by the signal's name, not its number: the numbers differ between
// systems (SIGBUS is 7 here, SIGUSR1 is 10), and a table keyed by one system's
// numbers would describe another signal. The text opens with this system's
// number.
QString signalDefenition(int signal) {
    struct Row {
        int signal;
        const char* text;  // after "Signal <n> - "
    };
    static const Row rows[] = {
        {SIGHUP, "SIGHUP\t-\tterminal line hangup\t-\tThe controlling terminal went away; daemons also use it as the "
                 "request to reload their configuration"},
        {SIGINT, "SIGINT\t-\tinterrupt program\t-\tControl-C was pressed"},
        {SIGQUIT, "SIGQUIT\t-\tquit program\t-\tNot technically a crash (can be sent by typing control)"},
        {SIGILL, "SIGILL\t-\tillegal instruction\t-\tCompiler error, incorrect use of assembly code, or trying to use "
                 "an Altivec instruction on a G3"},
        {SIGTRAP, "SIGTRAP\t-\ttrace trap\t-\tThe code reached a breakpoint"},
        {SIGABRT, "SIGABRT\t-\tabort program\t-\tGenerated by the abort() function, which can get called when you use "
                  "the assert() macros"},
#ifdef SIGEMT
        {SIGEMT, "SIGEMT  -   An emulator trap; an object released while it was still registered as a notification "
                 "observer can cause it, so remove observers first"},
#endif
        {SIGFPE, "SIGFPE\t-\tfloating-point exception\t-\tIncorrect use of Altivec code"},
        {SIGKILL, "SIGKILL - \tterminate process\t-\tYour process was deliberately terminated"},
        {SIGBUS, "SIGBUS\t-\tbus error\t-\tIncorrect memory access (generally due to incorrect use of retain and release)"},
        {SIGSEGV, "SIGSEGV\t-\tsegmentation violation\t-\tAccess through a pointer that was never initialised or whose "
                  "object was already released"},
        {SIGSYS, "SIGSYS\t-\tnon-existent system call invoked\t- Attempt to call a function not in libkern while "
                 "programming in the kernel"},
        {SIGPIPE, "SIGPIPE\t-\twrite on a pipe with no reader\t-\tErrors in a process you are interacting with"},
        {SIGALRM, "SIGALRM\t-\treal-time timer expired\t-\tA timer set with alarm() or setitimer() ran out and nothing "
                  "handled it"},
        {SIGTERM, "SIGTERM\t-\tsoftware termination signal\t-\tYour process was deliberately terminated"},
        {SIGURG, "SIGURG     -    discard signal          urgent condition present on socket"},
        {SIGSTOP, "SIGSTOP\t-\tstop\t-\tAnother process has suspended yours"},
        {SIGTSTP, "SIGTSTP\t-\tstop signal from keyboard\t-\tControl-Z was pressed"},
        {SIGCONT, "SIGCONT    -   continue"},
        {SIGCHLD, "SIGCHLD    -    discard signal          child status has changed"},
        {SIGTTIN, "SIGTTIN    -    stop process            background read attempted from control terminal"},
        {SIGTTOU, "SIGTTOU    -    stop process            background write attempted to control terminal"},
        {SIGIO, "SIGIO           discard signal          I/O is possible on a descriptor (see fcntl(2))"},
        {SIGXCPU, "SIGXCPU\t-\tcpu time limit exceeded\t-\tThe process used more processor time than its limit allows "
                  "(the limit applies only where quotas are enabled)"},
        {SIGXFSZ, "SIGXFSZ\t-\tfile size limit exceeded\t-\tMemory leaks, loops that get stuck writing files"},
    };
    for (const Row& row : rows) {
        if (row.signal == signal) return QStringLiteral("Signal %1 - ").arg(signal) + QString::fromUtf8(row.text);
    }
    return QStringLiteral("Signal defenition not found");
}

namespace crash {

QString crashFilePath() {
    return paths::documents() + QStringLiteral("/brelvo-crash.bin");
}

const int* hookedSignals(int* count) {
    *count = static_cast<int>(std::size(kHookedSignals));
    return kHookedSignals;
}

QString signalReason(int signal, const QStringList& stack) {
    return QStringLiteral("\nSignal %1 was raised. \nSignal defenition:\n%2 \nCallStack:\n%3")
        .arg(signal)
        .arg(signalDefenition(signal), stackDescription(stack));
}

void replaceHandler(int signal, const struct ::sigaction& action) {
    struct ::sigaction previous {};
    if (::sigaction(signal, &action, &previous) != 0) return;
    const bool hostHandler = (previous.sa_flags & SA_SIGINFO) || previous.sa_handler != SIG_DFL;
    if (hostHandler) ::sigaction(signal, &previous, nullptr);
}

[[gnu::noinline]] QStringList currentBacktrace() {
    void* frames[128];
    const int n = ::backtrace(frames, 128);
    // Left out: this function, the facade's call of it, and the outermost
    // frame. The facade's frame is found by its address, since an
    // instrumented build adds frames of its own in between.
    void* const caller = __builtin_return_address(0);
    int first = 2;
    for (int i = 0; i < n; ++i) {
        if (frames[i] == caller) {
            first = i + 1;
            break;
        }
    }
    if (n - 1 - first < 1) return {};
    std::vector<std::uint64_t> raw;
    for (int i = first; i < n - 1; ++i) raw.push_back(reinterpret_cast<std::uintptr_t>(frames[i]));
    return crashsymbols::describe(raw, crashsymbols::loadedModules());
}

void showCrashAlert() {
    auto* alert = new BVAlert(kAlertTitle, kAlertMessage, QString(), kAlertButton);
    alert->setBvAlertDelegate(&g_alertDelegate);
    BVAlert::show(alert);
}

namespace {

// The overlay window glides to the screen's centre and comes to the front.
void bringOverlayForward() {
    BrelvoWindow* window = Brelvo::shared().getBVLibWindow();
    if (!window) return;
    if (QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen()) {
        QRect target = window->frameGeometry();
        target.moveCenter(screen->geometry().center());
        auto* animation = new QPropertyAnimation(window, "pos", window);
        animation->setObjectName(QStringLiteral("make brel test animate"));
        animation->setDuration(500);
        animation->setEasingCurve(QEasingCurve::OutCubic);
        animation->setEndValue(target.topLeft());
        animation->start(QAbstractAnimation::DeleteWhenStopped);
    }
    Brelvo::shared().makeBVLibWindowKeyAndVisible();
}

// Fills in what the handlers left to the GUI thread: the readable stack and,
// for a signal, the reason text.
BrelvoException completed(BrelvoException e) {
    const QVariant raw = e.userInfo.take(kFramesKey);
    if (!raw.isValid()) return e;
    const QStringList stack = crashsymbols::describe(toFrames(raw), crashsymbols::loadedModules());
    if (e.name == kSignalExceptionName) {
        e.reason = signalReason(e.userInfo.value(kSignalKey).toInt(), stack);
    } else {
        e.userInfo.insert(kAddressesKey, stack);
    }
    return e;
}

// Runs the handling step on the GUI thread and waits for it; from the GUI
// thread itself, directly.
void handOff(const BrelvoException& e) {
    if (!QCoreApplication::instance()) {
        handleException(e);
        return;
    }
    if (onGuiThread()) {
        g_turnTaken.store(true);
        Brelvo::shared().BrelvoHandleException(e);
        return;
    }
    bool expected = false;
    while (!g_turnTaken.compare_exchange_weak(expected, true)) {
        expected = false;
        const timespec pause{0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    QMetaObject::invokeMethod(
        qApp, [&e] { Brelvo::shared().BrelvoHandleException(e); }, Qt::BlockingQueuedConnection);
}

}  // namespace

void handleException(const BrelvoException& exception) {
    g_handlingStage.store(1);
    Brelvo& facade = Brelvo::shared();
    facade.validateAndSaveCriticalApplicationData();
    const BrelvoException e = completed(exception);
    const QString log = reportText(e);

    NetworkClientBrelvo& transport = NetworkClientBrelvo::shared();
    CrashHelper::postCrash(log, transport.access_token(), facade.getPhoneState().toUtf8(), transport.rrid(), QString());
    // Sent or queued: the next start must not queue it again.
    bool slotOk = false;
    const int slot = e.userInfo.value(kSlotKey).toInt(&slotOk);
    if (slotOk) g_crashFile.markDelivered(slot);

    const bool gui = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    if (gui) {
        if (CustomViewBrelvo* panel = facade.mainView()) {
            if (!panel->libIsShown()) bringOverlayForward();
            panel->hideMainBtn();
        }
        auto* alert = new BVAlert(kAlertTitle, kAlertMessage, QString(), kAlertButton);
        alert->setBvAlertDelegate(&g_alertDelegate);
        BVAlert::show(alert);
        facade.setAppStatus(2);
        g_handlingStage.store(2);  // from here on the tester decides

        QPointer<BVAlert> shown(alert);
        bool pressed = false;
        while (!facade.dismissed()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            if (g_autoConfirm == AutoConfirm::Yes && !pressed && shown && shown->isVisible() && shown->otherButton()) {
                // Through the real button, as a tester's click would go.
                QMetaObject::invokeMethod(shown->otherButton(), "click", Qt::QueuedConnection);
                pressed = true;
            }
        }
    } else {
        facade.setAppStatus(2);
    }
    g_handlingStage.store(2);

    std::set_terminate(g_previousTerminate);
    restoreDefaultActions();
    if (e.name == kSignalExceptionName) dieBySignal(e.userInfo.value(kSignalKey).toInt());
    g_terminating.store(true);
    dieByTerminate();
}

}  // namespace crash

// ---------------------------------------------------------------- handlers

[[gnu::noinline]] void SignalBrelvoHandler(int signal) {
    if (signal == SIGABRT && g_terminating.load()) dieBySignal(signal);
    const int count = BrelvoUncaughtExceptionCount.fetch_add(1) + 1;
    // Returning from a fault would only fault again, forever: past the limit
    // the signal takes its default action instead.
    if (count > crash::kMaxHandled) dieBySignal(signal);

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
    wakeWatchdog(signal);

    BrelvoException e;
    e.name = crash::kSignalExceptionName;
    e.userInfo.insert(crash::kSignalKey, signal);
    e.userInfo.insert(crash::kFramesKey, toVariantList(stack, depth));
    if (slot >= 0) e.userInfo.insert(crash::kSlotKey, slot);
    crash::handOff(e);
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
    wakeWatchdog(SIGABRT);

    BrelvoException e;
    e.name = name;
    e.reason = reason;
    e.userInfo.insert(crash::kFramesKey, toVariantList(record.frames, record.frameCount));
    if (slot >= 0) e.userInfo.insert(crash::kSlotKey, slot);
    crash::handOff(e);
    dieByTerminate();
}

// ---------------------------------------------------------------- installation

namespace {

// Reports an earlier run left in the crash file and did not deliver: each
// joins the crash queue once, with its stack made readable now and the
// context that run last saved (the current one when it saved none).
void queueLeftReports(const QString& path) {
    const std::vector<CrashFile::Entry> entries = CrashFile::readComplete(path);
    bool anyLeft = false;
    for (const CrashFile::Entry& entry : entries) anyLeft = anyLeft || !entry.delivered;
    if (!anyLeft) return;
    CrashContext context;
    if (!CrashContext::load(CrashContext::filePath(), &context)) context = CrashContext::takeNow();
    // A run that crashed before its first phone state was read: the service
    // needs a document, so today's stands in.
    if (context.state.isEmpty()) context.state = Brelvo::shared().getPhoneState().toUtf8();
    for (const CrashFile::Entry& entry : entries) {
        if (entry.delivered) continue;
        // Reading DWARF data of modules that may have changed since is the
        // risky part; when an earlier start died doing it, the addresses go
        // out as they are.
        const bool readable = entry.recoveryAttempts == 0 && CrashFile::noteRecoveryAttempt(path, entry.slot);
        const QStringList stack =
            crashsymbols::describe(entry.frames, readable ? entry.modules : std::vector<CrashFile::Module>{});
        QString log;
        if (entry.kind == CrashFile::Signal) {
            log = crash::signalReason(entry.signal, stack) + QLatin1Char('\n');
        } else {
            const QString text = QString::fromUtf8(entry.text);
            const qsizetype split = text.indexOf(QLatin1Char('\n'));
            const QString reason = split < 0 ? QString() : text.mid(split + 1);
            BrelvoException e{split < 0 ? text : text.left(split), reason, {{crash::kAddressesKey, stack}}};
            log = reportText(e);
        }
        CrashHelper::queueCrashAsTaken(log, context.state, context.token, context.rid, context.uid);
    }
}

// A thread's alternate signal stack, mapped on first use and given back when
// the thread ends (the stack is switched off before it is unmapped).
class AlternateStack {
public:
    AlternateStack() {
        const long page = ::sysconf(_SC_PAGESIZE);
        guard_ = page > 0 ? static_cast<std::size_t>(page) : 4096;
        void* base = ::mmap(nullptr, kAltStackSize + guard_, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (base == MAP_FAILED) {
            qCWarning(lcBrelvo) << "no alternate signal stack:" << std::strerror(errno);
            return;
        }
        // The stack grows down: the lowest page is the guard.
        ::mprotect(base, guard_, PROT_NONE);
        stack_t stack{};
        stack.ss_sp = static_cast<char*>(base) + guard_;
        stack.ss_size = kAltStackSize;
        if (::sigaltstack(&stack, nullptr) != 0) {
            qCWarning(lcBrelvo) << "sigaltstack failed:" << std::strerror(errno);
            ::munmap(base, kAltStackSize + guard_);
            return;
        }
        base_ = base;
    }
    ~AlternateStack() {
        if (!base_) return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        if (::sigaltstack(&off, nullptr) == 0) ::munmap(base_, kAltStackSize + guard_);
    }
    AlternateStack(const AlternateStack&) = delete;
    AlternateStack& operator=(const AlternateStack&) = delete;

private:
    void* base_ = nullptr;
    std::size_t guard_ = 0;
};

}  // namespace

void crash::prepareThread() {
    thread_local AlternateStack stack;
}

void installBrelErrorHandler() {
    if (g_installed.exchange(true)) return;
    Brelvo& facade = Brelvo::shared();
    facade.createMorivaFolderInDocumentsFolder();
    facade.createPlist();

    if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread()) {
        g_guiThread = pthread_self();
        g_guiThreadKnown.store(true);
    } else if (QCoreApplication::instance()) {
        QMetaObject::invokeMethod(qApp, [] {
            g_guiThread = pthread_self();
            g_guiThreadKnown.store(true);
        }, Qt::QueuedConnection);
    }
    const QByteArray confirm = qgetenv("BRELVO_CRASH_AUTO_CONFIRM");
    g_autoConfirm = confirm == "1" ? AutoConfirm::Yes : confirm == "never" ? AutoConfirm::Never : AutoConfirm::Off;

    const QString path = crash::crashFilePath();
    queueLeftReports(path);
    // Emptied only once the reports are durably queued.
    if (!g_crashFile.open(path)) qCWarning(lcBrelvo) << "no crash file at" << path;
    CrashContext::startRefreshing();
    CrashFile::rememberExecutablePath();
    // The first call loads the unwinder and allocates; a handler must not be the first.
    void* warm[4];
    ::backtrace(warm, 4);
    crash::prepareThread();
    dispatch::setWorkerPreparation(&crash::prepareThread);

    if (sem_init(&g_watchdogWake, 0, 0) == 0)
        std::thread(&watchdog).detach();
    else
        qCWarning(lcBrelvo) << "no crash watchdog:" << std::strerror(errno);

    g_previousTerminate = std::set_terminate(&HandleBrelvoException);
    struct ::sigaction action {};
    action.sa_handler = &SignalBrelvoHandler;
    sigemptyset(&action.sa_mask);
    // On the alternate stack, so that a stack overflow is reported too.
    action.sa_flags = SA_ONSTACK;
    for (int s : kHookedSignals) Brelvo::replaceBrelvoHandlerByUserHandler(s, action);
}

}  // namespace brelvo
