#pragma once

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

struct sqlite3;

namespace brelvo {

struct DefaultsFailure;  // why the file could not be used, in Defaults.cpp

// The application's key/value store of property-list values, kept in SQLite.
//
// Writes land in memory at once and reach the file at the next synchronize(),
// which commits every pending write in one transaction and returns only once
// it is on disk: a kill right after it loses nothing, and a crash at any
// moment leaves the last committed state. update() is an atomic
// read-modify-write that is durable when it returns, for the queue keys that
// several threads append to. Safe to use from any thread.
class Defaults {
public:
    // The process-wide store, "brelvo-defaults.sqlite" in the documents folder.
    static Defaults& standard();

    // A store in the given file (created when missing). The open costs the
    // same whatever the file holds; the whole file is checked only when it
    // was not closed cleanly. A damaged file (not a database, failing that
    // check, or found damaged by a later read or write) is moved aside and
    // the store starts empty, keeping the writes made since it was opened;
    // when not even a new file can be made, the store keeps its values in
    // memory only. A file that cannot be used for want of space or
    // through an I/O error is no damage: it stays as it is, the store answers
    // what can still be read from it, and keeps writes pending in memory until
    // a later synchronize() finds the file writable again. Each is logged once.
    explicit Defaults(const QString& path);
    ~Defaults();
    Defaults(const Defaults&) = delete;
    Defaults& operator=(const Defaults&) = delete;

    // The value under the key, or an invalid QVariant when there is none (or
    // the stored bytes cannot be read, which is logged). A read that finds
    // the file damaged moves it aside as an open would.
    QVariant object(const QString& key);

    // Stores a property-list value; an invalid value removes the key. A value
    // without a property-list form is refused with a log line.
    void setObject(const QVariant& value, const QString& key);
    void removeObject(const QString& key);

    // Makes every earlier write durable. False when the file could not be
    // written (logged once until a write succeeds again); the writes then stay
    // pending for the next call, which also tries a file that could not be
    // opened again.
    bool synchronize();

    // Replaces the key's value with fn(current value) under the store's lock
    // and synchronises; returns the new value. An invalid result removes the key.
    QVariant update(const QString& key, const std::function<QVariant(const QVariant&)>& fn);

    QString path() const { return path_; }
    // True while the store has a file it writes to.
    bool isPersistent() const;

private:
    struct Pending {
        QString key;
        QByteArray bytes;  // empty: remove
    };

    DefaultsFailure open(bool wholeFileCheck);
    void settle(const DefaultsFailure& failed);
    void readWhatIsLeft();
    void moveAside(const QString& reason);
    void startOverIfDamaged();
    void close();  // synchronises, then the store keeps its values in memory only
    int commit(const std::vector<Pending>& pending, QString& failedStep);
    QVariant load(const QString& key);  // with mutex_ held

    QString path_;
    sqlite3* db_ = nullptr;     // changed only with both mutexes held
    mutable QMutex mutex_;      // guards cache_, dirty_, damage_ and db_
    QMutex syncMutex_;          // one synchronize at a time, so snapshots commit in order
    QHash<QString, QVariant> cache_;  // an invalid value means "known absent"
    QSet<QString> dirty_;
    bool reopen_ = false;       // the file is kept but could not be opened: try again at the next synchronize
    bool failing_ = false;      // the last write failed and was logged; under syncMutex_
    QString damage_;            // why a read or write found the file damaged; empty while it is not
};

}  // namespace brelvo
