#pragma once

#include "diagnostics/BrelvoException.h"

#include <atomic>
#include <cstdint>

struct sigaction;

namespace brelvo {

class CrashFile;

// The handlers. Each first writes the failure to the crash file with
// async-signal-safe calls only and wakes the watchdog; then it hands the
// failure to the GUI thread's handling step (one failing thread at a time)
// and waits.

// The terminate handler (an uncaught C++ exception).
void HandleBrelvoException();
// The handler of the hooked signals.
void SignalBrelvoHandler(int signal);

// Failures handled in this run, by both handlers.
extern std::atomic<std::int32_t> BrelvoUncaughtExceptionCount;

namespace crash {

// The crash file this run's handlers write to; the install step opens it.
CrashFile& crashFile();

// The hooked signals, in the order they are hooked.
const int* hookedSignals(int* count);

// Installs the action for the signal; a handler the host had installed before
// (or an ignored signal) is put back, so the host keeps it.
void replaceHandler(int signal, const struct ::sigaction& action);

// Notes which thread is the GUI thread (at once when called there, else on
// its next turn), for the hand-off. Install step.
void rememberGuiThread();

// Installs the terminate handler and, on the alternate stack, the action of
// every hooked signal. Last in the install step.
void hookHandlers();

// Lets the signal take its default action: the process ends.
// Async-signal-safe; from a handler too.
[[noreturn]] void dieBySignal(int signal);

// After the handling step: the process ends as the failure would have ended
// it without the library (by its signal, or through the terminate handler the
// host had).
[[noreturn]] void dieAfterHandling(const BrelvoException& e);

}  // namespace crash

}  // namespace brelvo
