#pragma once

#include "diagnostics/BrelvoException.h"

#include <QString>
#include <QStringList>

// The crash path, in the files beside this one:
//   CrashHandlers    the signal and terminate handlers (async-signal-safe up to
//                    the hand-off) and how the process ends afterwards
//   SignalStacks     the alternate signal stacks the handlers run on
//   CrashWatchdog    ends the process when the handling step cannot run in time
//   CrashHandling    the handling step on the GUI thread: the report, then the
//                    alert step the facade registered
//   CrashRecovery    the reports an earlier run left in the crash file
//   CrashReportText  the report texts
// This file: what they share, and the install step.
namespace brelvo {

// Installs the crash path, once per process (later calls do nothing): the
// "MorivaFiles" folder and "ErrorHandler.plist", the reports an earlier run
// left in the crash file (queued, then the file is emptied; a queue that could
// not be written keeps them there instead), the crash file for this run, the
// alternate signal stack, the watchdog, the terminate
// handler and the signal handlers. Everything a handler touches is prepared
// here, before a signal can arrive.
void installBrelErrorHandler();

namespace crash {

// Past this many failures in one run the handlers let the process die at once.
inline constexpr int kMaxHandled = 10;
inline const QString kSignalExceptionName = QStringLiteral("BrelvoUncaughtExceptionHandlerSignalExceptionName");
inline const QString kSignalKey = QStringLiteral("BrelvoUncaughtExceptionHandlerSignalKey");
inline const QString kAddressesKey = QStringLiteral("BrelvoUncaughtExceptionHandlerAddressesKey");
// Internal user-info entries: the raw return addresses, and the crash file's
// slot holding this report.
inline const QString kFramesKey = QStringLiteral("BrelvoCrashFrames");
inline const QString kSlotKey = QStringLiteral("BrelvoCrashFileSlot");

// The crash file of this application ("brelvo-crash.bin" in the documents folder).
QString crashFilePath();

// The facade's backtrace(): the caller's call stack as readable lines,
// without the facade's frame and the outermost one.
QStringList currentBacktrace();

}  // namespace crash

}  // namespace brelvo
