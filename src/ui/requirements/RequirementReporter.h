#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>

namespace brelvo {

// The tester's results ("requirement_result": 0 back to pending, 1 started,
// 2 passed, 3 failed), delivered once each and never dropped on the way.
//
// A report is stored, body and all, under "BrelvoRequirementResultsPrefKey"
// with a delivery identifier (DeliveryId.h) before anything is sent, and it
// stays there until the service answers it with response code 0. Reports go
// out oldest first, one request at a time across the process, so that a
// start and the pass that follows it arrive in that order; a report that gets
// no answer, a web page or an error code stops the round and waits for the
// next one (the next report, the network coming back, the next session).
// The service keeps one result per identifier, so a report whose answer was
// lost and that is sent again changes nothing twice.
//
// While the session is locked nothing is stored and nothing is sent. Any
// thread; the signal arrives on the GUI thread.
class RequirementReporter : public QObject {
    Q_OBJECT
public:
    static const QString kQueueKey;  // "BrelvoRequirementResultsPrefKey"

    struct Entry {
        QString id;
        QString body;
    };

    static RequirementReporter& shared();

    // Stores the report of this status for the requirement and starts a round
    // on the global pool. False, and nothing stored, while locked.
    bool report(const QVariant& rid, int status);
    // What waits, oldest first.
    QList<Entry> pending();

    // Sends what waits, oldest first, blocking the calling thread (never the
    // GUI thread) until the round ends; how many were delivered. Nothing is
    // sent while locked.
    int deliverNow();
    // The same round on the global pool; then delivered(count, left).
    void deliver();

signals:
    void delivered(int count, int left);

private:
    RequirementReporter() = default;
    void remove(const QString& id);

    QMutex sendMutex_;  // one request at a time
};

}  // namespace brelvo
