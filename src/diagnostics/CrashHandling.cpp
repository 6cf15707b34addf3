#include "diagnostics/CrashHandling.h"

#include "diagnostics/CrashCapture.h"
#include "diagnostics/CrashFile.h"
#include "diagnostics/CrashHandlers.h"
#include "diagnostics/CrashHelper.h"
#include "diagnostics/CrashReportText.h"
#include "diagnostics/CrashSymbols.h"
#include "diagnostics/CrashWatchdog.h"
#include "diagnostics/ErrorHandlerFile.h"
#include "diagnostics/GetSystemInfoBrelvo.h"
#include "diagnostics/LogHelper.h"
#include "platform/Log.h"
#include "protocol/NetworkClientBrelvo.h"

#include <QCoreApplication>

#include <cstdint>
#include <vector>

namespace brelvo::crash {

namespace {

HandlingHooks g_hooks;

std::vector<std::uint64_t> toFrames(const QVariant& list) {
    std::vector<std::uint64_t> out;
    for (const QVariant& v : list.toList()) out.push_back(v.toULongLong());
    return out;
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

// The alert is widgets; a QCoreApplication-only host gets none. Asked by
// class name: diagnostics/ does not include the widgets module.
bool widgetsApplication() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && app->inherits("QApplication");
}

}  // namespace

void setHandlingHooks(HandlingHooks hooks) {
    g_hooks = std::move(hooks);
}

void handleException(const BrelvoException& exception) {
    noteHandlingBegun();
    if (g_hooks.saveCriticalData) g_hooks.saveCriticalData();
    // Log lines on their way to disk are stored before the process may end;
    // bounded, as the crash may have struck the writer itself.
    LogHelper::shared().flushSpilled(std::chrono::seconds(2));
    const BrelvoException e = completed(exception);
    const QString log = reportText(e);

    bool slotOk = false;
    const int slot = e.userInfo.value(kSlotKey).toInt(&slotOk);
    // The slot's identifier: a start after a kill in the middle of this send
    // resends the report from the crash file under the same one.
    const QString deliveryId = slotOk ? crashFile().deliveryId(slot) : QString();
    NetworkClientBrelvo& transport = NetworkClientBrelvo::shared();
    CrashHelper::postCrash(log, transport.access_token(), GetSystemInfoBrelvo::shared().getPhoneState().toUtf8(),
                           transport.rrid(), QString(), deliveryId);
    // Sent or queued: the next start must not queue it again.
    if (slotOk) crashFile().markDelivered(slot);

    if (widgetsApplication() && g_hooks.alertStep) {
        g_hooks.alertStep();  // notes the tester's turn itself, once the alert is up
    } else {
        if (widgetsApplication()) qCWarning(lcBrelvo) << "no crash alert registered: the process ends without one";
        errorhandler::setAppStatus(2);
    }
    noteAwaitingTester();

    dieAfterHandling(e);
}

}  // namespace brelvo::crash
