#pragma once

#include "diagnostics/StoredLogBatches.h"

#include <QByteArray>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

namespace brelvo {

// The log queues.
//
// The host's log lines first land in an in-memory queue that any thread may
// append to; checkLogs() (the 5-second tick) drains it into one "post_logs"
// batch. A batch that was not delivered waits in the stored batches
// (StoredLogBatches) and is resent after the next successful authentication,
// or sooner when a later batch gets through. Nothing is dropped: when the
// memory queue grows past kMaxQueuedEntries entries or kMaxQueuedBytes of text
// (the service unreachable and no session to send with, or the tick stopped)
// it is handed to a writer thread of its own, which stores it as batch files
// of the stored batches: the thread that logs never waits for the disk, only
// for the writer when it lags a whole queue behind. Every change of a stored
// queue is an atomic read-modify-write that is on disk when it returns, and an
// entry leaves a stored queue only once it was delivered or moved on. What was
// handed to the writer is stored before the process exits and before a crash
// report is made. Safe to use from any thread.
class LogHelper {
public:
    static LogHelper& shared();

    static constexpr std::size_t kMaxQueuedEntries = 10000;
    static constexpr qsizetype kMaxQueuedBytes = 4 * 1024 * 1024;

    static constexpr const char* kLogsKey = "BrelvoLib_Logs";
    static constexpr const char* kLogsArrayKey = StoredLogBatches::kKey;

    // ---- the in-memory queue ----
    // Appends one entry ("log", "level", "ts", "token").
    void enqueue(QVariantMap entry);
    // Takes every queued entry out, oldest first, once the entries handed to
    // the writer before them are stored.
    QVariantList takeQueued();
    // Waits until every entry handed to the writer is stored; false when the
    // writer did not finish within the time-out (logged).
    bool flushSpilled(std::chrono::milliseconds timeout = std::chrono::minutes(1));
    // A copy of the queued entries (for inspection and tests).
    QVariantList queued() const;
    qsizetype queuedCount() const;

    // The 5-second tick: drains the memory queue on the global pool, one
    // drain at a time (a slow service makes later ticks wait, not pile up).
    void checkLogs();

    // Sends what the memory queue holds as batches (one per access token) on
    // the calling thread; a failed batch is stored. Entries logged before any
    // session wait in memory until the transport has a token. Returns the
    // number of entries delivered.
    int drainQueue();

    // Sends one batch ("post_logs") on the calling thread under a new
    // delivery identifier; when it fails the batch is stored under
    // "BrelvoLib_Logs_Array" with that identifier, as it may have arrived.
    // True when delivered.
    static bool postLogs(const QByteArray& joinedEntries, const QString& token);
    // The same send, without storing a failure; the identifier goes in the
    // request's header.
    static bool sendBatch(const QByteArray& joinedEntries, const QString& token, const QString& deliveryId);

    // ---- the stored queues ----
    void addLog(const QVariantMap& entry);
    // {"logs": joined entries, "token": token}, and "delivery_id" when the
    // batch was sent once under that identifier.
    void addLogs(const QVariantMap& batch);
    // Runs tryToSendOldLogs and then tryToSendOldLogsArray on the global pool.
    void sendOldLogs();
    // Blocking forms, on the calling thread; each returns the batches
    // delivered. tryToSendOldLogs first moves the "BrelvoLib_Logs" entries
    // into the stored batches (one per run of a token), so they are sent
    // under an identifier that survives a kill, and then sends every batch.
    int tryToSendOldLogs();
    int tryToSendOldLogsArray();

    // Every stored batch, oldest first.
    static QVariantList storedBatches();
    // One entry of a batch, as the service reads it.
    static QByteArray entryJson(const QVariantMap& entry);

private:
    LogHelper() = default;
    void moveOldLogsToBatches();
    bool overBound() const;
    // Hands the full memory queue to the writer; called with mutex_ held.
    void handOff(std::unique_lock<std::timed_mutex>& lock);
    // The writer's thread: stores the handed-off queues, oldest first.
    [[noreturn]] void writeSpilled();

    mutable std::timed_mutex mutex_;
    std::condition_variable_any writerProgress_;  // a queue was taken or stored
    QVariantList queue_;
    qsizetype queuedBytes_ = 0;
    // Queues handed to the writer and not yet taken by it, oldest first.
    std::deque<QVariantList> spilled_;
    bool writing_ = false;  // the writer holds a queue it has not stored yet
    bool writerStarted_ = false;
    quint64 spilledEntries_ = 0;
    std::atomic<bool> draining_{false};
};

}  // namespace brelvo
