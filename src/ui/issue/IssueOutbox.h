#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

namespace brelvo {

class BVReachability;

// The "post_issue" bodies the service has not yet answered with success.
//
// The latest one stays, as written, under "BrelvoSendIssuePrefKey"; when a
// newer body is queued, the latest moves to the end of the outbox under
// "BrelvoIssueOutboxPrefKey" instead of being overwritten. Each body gets a
// random 128-bit identifier (32 hex digits) when it is queued, kept beside it,
// so that an answer removes exactly the body it answers and the service can
// tell a repeated delivery from a new issue.
//
// Bodies go out oldest first, one request at a time across the process.
// Only an answer with response code 0 removes a body; no answer, an error
// code or an HTML page keeps it and stops the round, so the order holds.
// Every change is durable when the call returns. Any thread; the signals
// arrive on the GUI thread.
class IssueOutbox : public QObject {
    Q_OBJECT
public:
    static const QString kLatestKey;    // "BrelvoSendIssuePrefKey": the latest body's text
    static const QString kLatestIdKey;  // "BrelvoSendIssueIdPrefKey": its identifier
    static const QString kOutboxKey;    // "BrelvoIssueOutboxPrefKey": the older ones, oldest first

    struct Entry {
        QString id;
        QString body;
    };

    static IssueOutbox& shared();

    // Stores the body as the latest unanswered one; returns its identifier.
    QString queue(const QString& body);
    // What waits, oldest first.
    QList<Entry> pending();
    bool isPending(const QString& id);

    // Sends what waits, oldest first, blocking the calling thread (never the
    // GUI thread) until the round ends. Returns how many bodies were delivered.
    int deliverNow();
    // The same round on the global pool; then delivered(count, left).
    void deliver();

    // From now on each change of the network is followed, on the pool, by a
    // check of the service's host (serviceReachable) and, when it can be
    // reached, a round. GUI thread.
    void startWatchingNetwork();
    // What a change of the network does; the watcher calls it. GUI thread.
    void networkChanged();

    // Whether an answer means the service took the issue.
    static bool isDelivered(const QString& answer);

signals:
    void delivered(int count, int left);
    void serviceReachable(bool reachable);

private:
    IssueOutbox() = default;
    ~IssueOutbox() override;
    // The latest body's identifier; a missing one, or one written for another
    // body (a write torn by a crash), is replaced by a new one. storeMutex_ held.
    QString latestId(const QString& body);
    // Drops the body with this identifier, wherever it waits.
    void removeDelivered(const QString& id);
    void deliverAndReport();

    QMutex storeMutex_;  // the three keys change together
    QMutex sendMutex_;   // one request at a time
    std::atomic<bool> checkWaiting_{false};
    std::unique_ptr<BVReachability> internetReach_;
};

}  // namespace brelvo
