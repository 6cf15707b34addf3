#pragma once

#include <brelvo/Brelvo.h>

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>

namespace brelvo {

// Installs the crash path, once per process (later calls do nothing): the
// "MorivaFiles" folder and "ErrorHandler.plist", the reports an earlier run
// left in the crash file (queued, then the file is emptied), the crash file
// for this run, the alternate signal stack, the terminate handler and the
// signal handlers.
void installBrelErrorHandler();

// The terminate handler (an uncaught C++ exception).
void HandleBrelvoException();
// The handler of the hooked signals.
void SignalBrelvoHandler(int signal);

// The description text of a signal number (1 to 25).
QString signalDefenition(int signal);

// Failures handled in this run, by both handlers.
extern std::atomic<std::int32_t> BrelvoUncaughtExceptionCount;

namespace crash {

inline constexpr int kMaxHandled = 10;
inline const QString kSignalExceptionName = QStringLiteral("BrelvoUncaughtExceptionHandlerSignalExceptionName");
inline const QString kSignalKey = QStringLiteral("BrelvoUncaughtExceptionHandlerSignalKey");
inline const QString kAddressesKey = QStringLiteral("BrelvoUncaughtExceptionHandlerAddressesKey");
// Internal user-info entries: the raw return addresses, and the crash file's
// slot holding this report.
inline const QString kFramesKey = QStringLiteral("BrelvoCrashFrames");
inline const QString kSlotKey = QStringLiteral("BrelvoCrashFileSlot");

inline const QString kAlertTitle = QStringLiteral("Error is caught");
inline const QString kAlertMessage = QStringLiteral("Unhandled exception is caught and sent to the server");
inline const QString kAlertButton = QStringLiteral("YES");

// The crash file of this application ("brelvo-crash.bin" in the documents folder).
QString crashFilePath();

// The hooked signals, in the order they are hooked.
const int* hookedSignals(int* count);

// The report text of a signal: "\nSignal %d was raised. \nSignal defenition:\n%@ \nCallStack:\n%@".
QString signalReason(int signal, const QStringList& stack);

// The facade's operations (Brelvo forwards to these).
void handleException(const BrelvoException& exception);
QStringList currentBacktrace();
void replaceHandler(int signal, const struct ::sigaction& action);
void showCrashAlert();

// Gives the calling thread an alternate signal stack (once per thread), so
// that a stack overflow on it is caught and reported too. Done for the thread
// that installs the handlers and for every library thread.
void prepareThread();

}  // namespace crash

}  // namespace brelvo
