#pragma once

#include "state/StartContext.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

namespace brelvo {

// The crash queue: crash reports that could not be delivered wait under
// "BrelvoLib_Crashes" in the defaults store until the next successful
// authentication. Every change of the queue is an atomic read-modify-write
// that is on disk when the call returns. Safe to use from any thread.
class CrashHelper {
public:
    static CrashHelper& shared();

    // The project's API key that reports are sent with (the facade hands it down).
    void configure(const StartContext& context);
    QString apiKey() const;

    // Sends one crash report ("post_crash") and blocks the calling thread for
    // the length of the request. When no answer came (offline, time-out) the
    // report is queued with this state, token, rid and uid, so that it is
    // resent as it was taken. Every report goes out under a delivery
    // identifier (DeliveryId.h): the one given (a crash file slot's), else a
    // new one; a queued report keeps it, so the service can tell a resend.
    static void postCrash(const QString& log, const QString& token, const QByteArray& state, const QString& rid,
                          const QString& uid, const QString& deliveryId = QString());

    // Appends one report to the queue, durably, without sending it. The token
    // and uid are the session's at the time of the call.
    static void queueCrash(const QString& log, const QByteArray& state, const QString& rid);
    // Appends one report with the state, token, rid, uid and delivery
    // identifier it was taken with (a new identifier when none is given). A
    // report whose identifier is queued already is not queued again.
    static void queueCrashAsTaken(const QString& log, const QByteArray& state, const QString& token,
                                  const QString& rid, const QString& uid, const QString& deliveryId = QString());

    // The defaults value "UserID"; null when absent.
    static QString storedUserId();

    // Appends a report taken now: a fresh phone state, the session's token,
    // running requirement and user id.
    void addCrashLog(const QString& log);

    // Resends the queue on the global pool and returns at once, oldest first.
    // Each report leaves the queue only once delivered, so a failure or a
    // kill loses nothing; one resend runs at a time, and a report sent again
    // after a kill carries its first identifier, so none is stored twice. A
    // report queued before identifiers existed gets one, durably, before it
    // is sent.
    void tryToSendOldCrashes();
    // The same work, on the calling thread (blocking). Returns the number of
    // reports delivered.
    int sendOldCrashesNow();

    // The queued entries, oldest first (for inspection and tests).
    static QVariantList queuedCrashes();

    static constexpr const char* kCrashesKey = "BrelvoLib_Crashes";

private:
    CrashHelper() = default;
    static void appendEntry(const QVariantMap& entry);

    mutable QMutex mutex_;
    QString apiKey_;
};

}  // namespace brelvo
