// The facade's report and lifecycle calls: each hands over to the component
// that does the work.
#include <brelvo/Brelvo.h>

#include "core/Lifecycle.h"
#include "diagnostics/CrashHelper.h"
#include "diagnostics/LogHelper.h"

namespace brelvo {

void Brelvo::didEnterBackground() {
    Lifecycle::shared().didEnterBackground();
}

void Brelvo::didEnterForeground() {
    Lifecycle::shared().didEnterForeground();
}

void Brelvo::didReceiveMemWarning() {
    Lifecycle::shared().didReceiveMemWarning();
}

QString Brelvo::checkForUpdate() {
    return Lifecycle::shared().checkForUpdate();
}

void Brelvo::registerLocalNotificationWithText(const QString& text, const QDateTime& date) {
    Lifecycle::shared().registerLocalNotificationWithText(text, date);
}

void Brelvo::playSystemSound(int soundId) {
    Lifecycle::shared().playSystemSound(soundId);
}

void Brelvo::sendEmptyArray() {
    Lifecycle::shared().sendEmptyArray();
}

void Brelvo::checkLogs() {
    LogHelper::shared().checkLogs();
}

void Brelvo::postLogs(const QString& joinedEntries, const QString& token) {
    LogHelper::postLogs(joinedEntries.toUtf8(), token);
}

void Brelvo::postCrash(const QString& log, const QString& token, const QByteArray& state, const QString& rid,
                       const QString& uid) {
    CrashHelper::postCrash(log, token, state, rid, uid);
}

}  // namespace brelvo
