#include "diagnostics/CrashRecovery.h"

#include "diagnostics/CrashCapture.h"
#include "diagnostics/CrashContext.h"
#include "diagnostics/CrashFile.h"
#include "diagnostics/CrashHandlers.h"
#include "diagnostics/CrashHelper.h"
#include "diagnostics/CrashReportText.h"
#include "diagnostics/CrashSymbols.h"
#include "diagnostics/GetSystemInfoBrelvo.h"
#include "platform/Defaults.h"
#include "platform/Log.h"

#include <vector>

namespace brelvo::crash {

bool queueLeftReports(const QString& path) {
    const std::vector<CrashFile::Entry> entries = CrashFile::readComplete(path);
    bool anyLeft = false;
    for (const CrashFile::Entry& entry : entries) anyLeft = anyLeft || !entry.delivered;
    if (!anyLeft) return true;
    CrashContext context;
    if (!CrashContext::load(CrashContext::filePath(), &context)) context = CrashContext::takeNow();
    // A run that crashed before its first phone state was read: the service
    // needs a document, so today's stands in.
    if (context.state.isEmpty()) context.state = GetSystemInfoBrelvo::shared().getPhoneState().toUtf8();
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
            log = signalReason(entry.signal, stack) + QLatin1Char('\n');
        } else {
            const QString text = QString::fromUtf8(entry.text);
            const qsizetype split = text.indexOf(QLatin1Char('\n'));
            const QString reason = split < 0 ? QString() : text.mid(split + 1);
            BrelvoException e{split < 0 ? text : text.left(split), reason, {{kAddressesKey, stack}}};
            log = reportText(e);
        }
        // Under the slot's identifier: the run that crashed may have sent it
        // already and died before marking it.
        CrashHelper::queueCrashAsTaken(log, context.state, context.token, context.rid, context.uid, entry.deliveryId);
    }
    // The queue keeps what it could not write in memory; only a store with
    // nothing pending has them on disk.
    return Defaults::standard().synchronize();
}

void takeOverCrashFile(const QString& path) {
    // Emptied only once the reports are durably queued.
    if (!queueLeftReports(path)) {
        qCWarning(lcBrelvo) << "the crash file is kept for a later start: its reports could not be stored yet";
        return;
    }
    if (!crashFile().open(path)) qCWarning(lcBrelvo) << "no crash file at" << path;
}

}  // namespace brelvo::crash
