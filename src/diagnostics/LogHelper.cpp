#include "diagnostics/LogHelper.h"

#include "diagnostics/SignalStacks.h"
#include "platform/Defaults.h"
#include "platform/Dispatch.h"
#include "platform/HostEvents.h"
#include "platform/Log.h"
#include "platform/VariantKinds.h"
#include "protocol/AnalizeResponseBrelvo.h"
#include "protocol/Connectivity.h"
#include "protocol/DeliveryId.h"
#include "protocol/JSONClientBrelvo.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/SharedState.h"

#include <QMutex>
#include <QSet>

#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

namespace brelvo {

namespace {

const QString kLogs = QStringLiteral("logs");
const QString kToken = QStringLiteral("token");

QString key(const char* name) {
    return QString::fromLatin1(name);
}

qsizetype entryBytes(const QVariantMap& entry) {
    // A rough figure: the text dominates; the other members are small.
    return entry.value(QStringLiteral("log")).toString().size() * 2 + 96;
}

struct Batch {
    QString token;
    QByteArray joined;
    int count = 0;
};

// Consecutive entries of one token make one batch; an entry without a token
// takes the fallback one.
QList<Batch> batchesOf(const QVariantList& entries, const QString& fallbackToken) {
    QList<Batch> batches;
    for (const QVariant& v : entries) {
        const QVariantMap entry = v.toMap();
        QString token = entry.value(kToken).toString();
        if (token.isEmpty()) token = fallbackToken;
        if (batches.isEmpty() || batches.last().token != token) batches.append(Batch{token, {}, 0});
        Batch& b = batches.last();
        if (b.count > 0) b.joined.append(',');
        JSONClientBrelvo::shared().appendLogJSON(b.joined, entry);
        ++b.count;
    }
    return batches;
}

QVariantMap storedBatch(const QByteArray& joined, const QString& token) {
    return QVariantMap{{kLogs, QString::fromUtf8(joined)}, {kToken, token}};
}

}  // namespace

LogHelper& LogHelper::shared() {
    static LogHelper* instance = new LogHelper;  // lives until the process ends
    return *instance;
}

QByteArray LogHelper::entryJson(const QVariantMap& entry) {
    return JSONClientBrelvo::shared().getLogJSON(entry);
}

// ---- the in-memory queue ----------------------------------------------------

void LogHelper::enqueue(QVariantMap entry) {
    const qsizetype bytes = entryBytes(entry);
    std::unique_lock<std::timed_mutex> lock(mutex_);
    queue_.append(std::move(entry));
    queuedBytes_ += bytes;
    if (overBound()) handOff(lock);
}

bool LogHelper::overBound() const {
    return std::size_t(queue_.size()) >= kMaxQueuedEntries || queuedBytes_ >= kMaxQueuedBytes;
}

void LogHelper::handOff(std::unique_lock<std::timed_mutex>& lock) {
    // One full queue may wait for the writer beside the one it stores; past
    // that the loggers wait for it rather than hold ever more in memory.
    writerProgress_.wait(lock, [this] { return spilled_.empty() || !overBound(); });
    if (!overBound()) return;  // another thread handed it off meanwhile
    spilled_.push_back(std::exchange(queue_, {}));
    queuedBytes_ = 0;
    if (!writerStarted_) {
        writerStarted_ = true;
        // Registered after the store's own exit handler, so it runs before
        // the store closes its file.
        Defaults::standard();
        std::atexit([] { shared().flushSpilled(std::chrono::seconds(10)); });
        // A thread of its own rather than the global pool, whose threads may
        // all be busy with service calls, or be loggers waiting for it.
        std::thread([this] { writeSpilled(); }).detach();
    }
    writerProgress_.notify_all();
}

void LogHelper::writeSpilled() {
    crash::prepareThread();
    std::unique_lock<std::timed_mutex> lock(mutex_);
    for (;;) {
        writerProgress_.wait(lock, [this] { return !spilled_.empty(); });
        const QVariantList spill = std::move(spilled_.front());
        spilled_.pop_front();
        writing_ = true;
        writerProgress_.notify_all();
        lock.unlock();
        for (const Batch& b : batchesOf(spill, QString()))
            StoredLogBatches::shared().appendAsFile(QString::fromUtf8(b.joined), b.token);
        spilledEntries_ += quint64(spill.size());  // only this thread counts
        qCInfo(lcBrelvo) << "log queue full:" << spill.size() << "entries moved to the stored batches ("
                         << spilledEntries_ << "so far)";
        lock.lock();
        writing_ = false;
        writerProgress_.notify_all();
    }
}

bool LogHelper::flushSpilled(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // Timed, as the crash path calls this and the crash may have struck a
    // thread inside the lock.
    std::unique_lock<std::timed_mutex> lock(mutex_, deadline);
    if (lock.owns_lock() && writerProgress_.wait_until(lock, deadline, [this] { return spilled_.empty() && !writing_; }))
        return true;
    qCWarning(lcBrelvo) << "log writer still busy after" << timeout.count() << "ms: log lines handed to it may"
                        << "not be stored";
    return false;
}

QVariantList LogHelper::takeQueued() {
    flushSpilled();
    std::lock_guard<std::timed_mutex> lock(mutex_);
    QVariantList taken;
    taken.swap(queue_);
    queuedBytes_ = 0;
    return taken;
}

QVariantList LogHelper::queued() const {
    std::lock_guard<std::timed_mutex> lock(mutex_);
    return queue_;
}

qsizetype LogHelper::queuedCount() const {
    std::lock_guard<std::timed_mutex> lock(mutex_);
    return queue_.size();
}

void LogHelper::checkLogs() {
    if (queuedCount() == 0 || draining_.exchange(true)) return;
    dispatch::toGlobal([this] {
        drainQueue();
        draining_ = false;
    });
}

int LogHelper::drainQueue() {
    const QString current = NetworkClientBrelvo::shared().access_token();
    QVariantList entries = takeQueued();
    if (entries.isEmpty()) return 0;
    if (current.isEmpty() || !connectivity::serviceReachable()) {
        // No session yet (a batch without a token would be refused), or no
        // network: the entries wait in front of anything logged meanwhile,
        // and go to disk in large pieces when the memory bound is reached.
        std::unique_lock<std::timed_mutex> lock(mutex_);
        queue_ = entries + queue_;
        for (const QVariant& v : std::as_const(entries)) queuedBytes_ += entryBytes(v.toMap());
        if (overBound()) handOff(lock);
        return 0;
    }
    int delivered = 0;
    for (const Batch& b : batchesOf(entries, current)) {
        if (postLogs(b.joined, b.token)) delivered += b.count;
    }
    // The service answers again: batches kept from earlier failures follow.
    if (delivered > 0 && !StoredLogBatches::shared().isEmpty()) tryToSendOldLogsArray();
    return delivered;
}

// ---- sending ------------------------------------------------------------------

bool LogHelper::sendBatch(const QByteArray& joinedEntries, const QString& token, const QString& deliveryId) {
    const QByteArray body = JSONClientBrelvo::shared().getLogsData(joinedEntries, token);
    const QString answer =
        NetworkClientBrelvo::shared().makePOSTRequestWithMethod(QStringLiteral("post_logs"), body, deliveryId);
    if (answer.isEmpty()) return false;
    const QVariant code = AnalizeResponseBrelvo::shared().getResponseCode(answer);
    if (!code.isValid() || code.toLongLong() != 0) qCWarning(lcBrelvo) << "Error";
    SharedState::shared().setBrelTrigger(0);
    hostevents::emitEvent(&BrelvoEvents::logBatchSent);
    return true;
}

bool LogHelper::postLogs(const QByteArray& joinedEntries, const QString& token) {
    const QString deliveryId = delivery::newId();
    if (sendBatch(joinedEntries, token, deliveryId)) return true;
    // Kept with the token it was sent with (the entries belong to that
    // session) and the identifier: the service may have stored it already.
    QVariantMap batch =
        storedBatch(joinedEntries, token.isEmpty() ? NetworkClientBrelvo::shared().access_token() : token);
    batch.insert(delivery::kEntryKey, deliveryId);
    shared().addLogs(batch);
    hostevents::emitEvent(&BrelvoEvents::logBatchQueued);
    return false;
}

// ---- the stored queues ----------------------------------------------------------

void LogHelper::addLog(const QVariantMap& entry) {
    Defaults::standard().update(key(kLogsKey), [&](const QVariant& current) {
        QVariantList list = variants::listOf(current);
        list.append(entry);
        return QVariant(list);
    });
}

void LogHelper::addLogs(const QVariantMap& batch) {
    StoredLogBatches::shared().append(batch.value(kLogs).toString(), batch.value(kToken).toString(),
                                      batch.value(delivery::kEntryKey).toString());
}

void LogHelper::sendOldLogs() {
    dispatch::toGlobal([this] {
        tryToSendOldLogs();
        tryToSendOldLogsArray();
    });
}

int LogHelper::tryToSendOldLogs() {
    moveOldLogsToBatches();
    return tryToSendOldLogsArray();
}

void LogHelper::moveOldLogsToBatches() {
    // One move at a time: two would store the same entries twice.
    static QMutex* moving = new QMutex;  // outlives a move still running at exit
    QMutexLocker lock(moving);
    // The entries are sent as stored batches, which keep their delivery
    // identifier until delivered. The move survives a kill at any step: the
    // entries are first marked with the identifier of the batch they go
    // into, then stored as that batch, then removed. A kill before the
    // removal stores the same batch again under the same identifier, and the
    // service keeps one.
    QVariantList marked;
    Defaults::standard().update(key(kLogsKey), [&](const QVariant& current) {
        marked = variants::listOf(current);
        QString lastToken, lastId;
        for (QVariant& v : marked) {
            QVariantMap entry = v.toMap();
            if (!entry.value(delivery::kEntryKey).toString().isEmpty()) continue;
            const QString token = entry.value(kToken).toString();
            if (lastId.isEmpty() || token != lastToken) lastId = delivery::newId();
            lastToken = token;
            entry.insert(delivery::kEntryKey, lastId);
            v = entry;
        }
        return marked.isEmpty() ? QVariant() : QVariant(marked);
    });
    if (marked.isEmpty()) return;

    QSet<QString> moved;
    for (qsizetype i = 0; i < marked.size();) {
        const QString id = marked[i].toMap().value(delivery::kEntryKey).toString();
        qsizetype end = i;
        while (end < marked.size() && marked[end].toMap().value(delivery::kEntryKey).toString() == id) ++end;
        // One identifier marks entries of one token.
        for (const Batch& b : batchesOf(marked.mid(i, end - i), QString()))
            StoredLogBatches::shared().append(QString::fromUtf8(b.joined), b.token, id);
        moved.insert(id);
        i = end;
    }
    Defaults::standard().update(key(kLogsKey), [&](const QVariant& current) {
        QVariantList rest;
        for (const QVariant& v : variants::listOf(current))
            if (!moved.contains(v.toMap().value(delivery::kEntryKey).toString())) rest.append(v);
        return rest.isEmpty() ? QVariant() : QVariant(rest);
    });
}

int LogHelper::tryToSendOldLogsArray() {
    const QString current = NetworkClientBrelvo::shared().access_token();
    const int delivered =
        StoredLogBatches::shared().deliver([&](const QString& logs, const QString& token, const QString& deliveryId) {
            const QString sendWith = token.isEmpty() ? current : token;  // logged before any session
            return !sendWith.isEmpty() && sendBatch(logs.toUtf8(), sendWith, deliveryId);
        });
    if (!StoredLogBatches::shared().isEmpty()) qCInfo(lcBrelvo) << "log batches kept for a later resend";
    return delivered;
}

QVariantList LogHelper::storedBatches() {
    return StoredLogBatches::shared().all();
}

}  // namespace brelvo
