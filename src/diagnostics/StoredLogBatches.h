#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QVariantList>

#include <functional>

namespace brelvo {

// The log batches that are waiting for delivery, oldest first, each
// {"logs": joined entries, "token": the session's token}.
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
// after its delivery, so a process killed during a resend loses nothing (the
// batch in flight may then be sent once more).
class StoredLogBatches {
public:
    static StoredLogBatches& shared();

    static constexpr const char* kKey = "BrelvoLib_Logs_Array";
    static constexpr qsizetype kMaxKeyBytes = 16 * 1024 * 1024;
    // Consecutive batches of one token are merged up to this size, so that a
    // long time offline makes a few large batches rather than thousands of
    // small ones.
    static constexpr qsizetype kMaxMergedBytes = 1024 * 1024;

    // Appends one batch; empty ones are ignored.
    void append(const QString& logs, const QString& token);

    // Sends the batches oldest first, each through send(logs, token), and
    // removes each once sent. Stops at the first failure, leaving it and the
    // rest in place. One delivery at a time: a call while another runs
    // returns 0 at once. Returns the number of batches delivered.
    int deliver(const std::function<bool(const QString& logs, const QString& token)>& send);

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
    bool writeFile(const QString& logs, const QString& token);

    mutable QMutex appendMutex_;  // one writer decides between the key and the files
    QMutex deliverMutex_;
};

}  // namespace brelvo
