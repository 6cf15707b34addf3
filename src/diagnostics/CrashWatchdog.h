#pragma once

// The watchdog: a thread started with the handlers, asleep until a failure
// wakes it. When the handling step does not get going on the GUI thread in
// time (the GUI thread is blocked, or the failing thread hangs on a lock it
// interrupted, such as the allocator's), it ends the process with the
// failure's signal, as the failure would have without the library. The report
// is in the crash file by then and goes out at the next start.
namespace brelvo::crash {

// Starts the watchdog thread. Install step.
void startWatchdog();

// From a handler, after the crash file was written: the first failure's
// signal is the one the watchdog ends the process with. Async-signal-safe.
void wakeWatchdog(int signal);

// The handling step's progress, which the watchdog waits for: it began, and
// then the report is out and the alert up (from there on the tester decides,
// however long that takes).
void noteHandlingBegun();
void noteAwaitingTester();

}  // namespace brelvo::crash
