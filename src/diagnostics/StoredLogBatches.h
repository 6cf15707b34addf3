#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QVariantList>

#include <functional>

namespace brelvo {

// The log batches that are waiting for delivery, oldest first, each
// {"logs": joined entries, "token": the session's token, "delivery_id": the
// identifier it is sent under (DeliveryId.h)}.
//
// They live under "BrelvoLib_Logs_Array" in the defaults store while that
// array stays below kMaxKeyBytes of text: the store keeps a key's value in
// memory and rewrites it whole on every change, so it is no place for an
// unbounded queue. Past that bound (a long time offline with heavy logging)
// further batches go to files of their own in the "BrelvoLogBatches" folder,
// one file per batch; they are delivered after the array, so the order is
// kept. Nothing is dropped: disk space is the only limit.
//
// Every change is on disk when the call returns. A batch leaves the queue only
// after its delivery, so a process killed during a resend loses nothing; the
// batch in flight may then be sent once more, under the same identifier, which
// the service keeps once. So a batch whose bytes may have reached the service
// never changes: later batches are merged only into one that this process
// stored and that no send has taken yet.
class StoredLogBatches {
public:
    static StoredLogBatches& shared();

    static constexpr const char* kKey = "BrelvoLib_Logs_Array";
    static constexpr qsizetype kMaxKeyBytes = 16 * 1024 * 1024;
    // Consecutive batches of one token are merged up to this size, so that a
    // long time offline makes a few large batches rather than thousands of
    // small ones.
    static constexpr qsizetype kMaxMergedBytes = 1024 * 1024;

    // Appends one batch; empty ones are ignored. A batch already sent once
    // (its answer never came) passes the identifier it was sent under and is
    // kept as it is; any other gets a new identifier, or joins the last batch.
    void append(const QString& logs, const QString& token, const QString& deliveryId = QString());
    // Appends a batch of entries that outgrew the memory queue, as a file of
    // its own whatever the array holds: a long time offline would otherwise
    // rewrite the whole array in the store for every one of them. Older
    // batches in the array are still delivered first. Empty ones are ignored.
    void appendAsFile(const QString& logs, const QString& token);

    // Sends the batches oldest first, each through send(logs, token,
    // deliveryId), and removes each once sent. Stops at the first failure,
    // leaving it and the rest in place. A batch stored before identifiers
    // existed gets one, durably, before it is sent. One delivery at a time: a
    // call while another runs returns 0 at once. Returns the number of
    // batches delivered.
    using Send = std::function<bool(const QString& logs, const QString& token, const QString& deliveryId)>;
    int deliver(const Send& send);

    // Every waiting batch (for inspection and tests; reads the files too).
    QVariantList all() const;
    bool isEmpty() const;
    // Batches waiting in files.
    int fileCount() const;

    // The folder of the files, "BrelvoLogBatches" in the documents folder.
    static QString folder();

private:
    StoredLogBatches() = default;
    QStringList files() const;  // sorted, oldest first
    bool writeFile(const QString& logs, const QString& token, const QString& deliveryId);
    // Called with appendMutex_ held.
    void appendToArray(const QString& logs, const QString& token, const QString& id, bool sentBefore);
    // The front batch of the array, taken for a send: nothing joins it from
    // now on, and it has an identifier on disk. An invalid QVariant when the
    // array is empty or its front could not be given an identifier.
    QVariant takeFront();

    mutable QMutex appendMutex_;  // one writer decides between the key and the files
    QMutex deliverMutex_;
    // The identifier of the last batch in the array when this process stored
    // it and no send has taken it since: the one batch others may join.
    QString joinable_;
};

}  // namespace brelvo
