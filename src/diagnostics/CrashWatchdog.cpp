#include "diagnostics/CrashWatchdog.h"

#include "diagnostics/CrashHandlers.h"
#include "platform/Log.h"
#include "protocol/NetworkClientBrelvo.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <semaphore.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace brelvo::crash {

namespace {

sem_t g_watchdogWake;
std::atomic<int> g_watchedSignal{0};
// 0 nothing yet, 1 the handling step began, 2 the report is out and the alert up.
std::atomic<int> g_handlingStage{0};
constexpr std::chrono::seconds kStartDeadline{10};
// Beyond the transport's own time-out, for the phone state and the alert.
constexpr std::chrono::seconds kHandlingMargin{20};

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

}  // namespace

void startWatchdog() {
    if (sem_init(&g_watchdogWake, 0, 0) == 0)
        std::thread(&watchdog).detach();
    else
        qCWarning(lcBrelvo) << "no crash watchdog:" << std::strerror(errno);
}

void wakeWatchdog(int signal) {
    int none = 0;
    if (g_watchedSignal.compare_exchange_strong(none, signal)) sem_post(&g_watchdogWake);
}

void noteHandlingBegun() {
    g_handlingStage.store(1);
}

void noteAwaitingTester() {
    g_handlingStage.store(2);
}

}  // namespace brelvo::crash
