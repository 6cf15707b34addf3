// The component report and lifecycle calls: each hands over to the component
// that does the work.
#include "core/BrelvoComponents.h"

#include "core/Lifecycle.h"
#include "diagnostics/CrashHelper.h"
#include "diagnostics/LogHelper.h"

namespace brelvo {

void BrelvoComponents::registerLocalNotificationWithText(const QString& text, const QDateTime& date) {
    Lifecycle::shared().registerLocalNotificationWithText(text, date);
}

void BrelvoComponents::playSystemSound(int soundId) {
    Lifecycle::shared().playSystemSound(soundId);
}

void BrelvoComponents::sendEmptyArray() {
    Lifecycle::shared().sendEmptyArray();
}

void BrelvoComponents::checkLogs() {
    LogHelper::shared().checkLogs();
}

void BrelvoComponents::postLogs(const QString& joinedEntries, const QString& token) {
    LogHelper::postLogs(joinedEntries.toUtf8(), token);
}

void BrelvoComponents::postCrash(const QString& log, const QString& token, const QByteArray& state, const QString& rid,
                                 const QString& uid) {
    CrashHelper::postCrash(log, token, state, rid, uid);
}

}  // namespace brelvo
