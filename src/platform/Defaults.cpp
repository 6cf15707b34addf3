#include "platform/Defaults.h"

#include "platform/AppPaths.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

namespace brelvo {

// Why the file could not be used: damage, which only a new file cures, or a
// disk that cannot take (or give) the bytes now, which passes.
struct DefaultsFailure {
    enum Kind { None, Damaged, Unavailable } kind = None;
    QString message;
    explicit operator bool() const { return kind != None; }
};

namespace {

// Runs one statement without results; returns SQLite's result code. Callers
// log: a disk that stays full must not log every attempt.
int exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    int rc = SQLITE_OK;
    Statement(sqlite3* db, const char* sql) : rc(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr)) {}
    ~Statement() { sqlite3_finalize(stmt); }
};

using Failure = DefaultsFailure;

Failure failure(sqlite3* db, int rc, const char* step) {
    Failure::Kind kind = Failure::Damaged;
    switch (rc & 0xff) {
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_NOMEM:
        kind = Failure::Unavailable;
        break;
    case SQLITE_CANTOPEN: {
        // The file could not even be opened or made for want of space (or
        // through an I/O error): that passes. Other reasons, such as a folder
        // at the path, only a new file cures.
        const int error = db ? sqlite3_system_errno(db) : 0;
        if (error == ENOSPC || error == EDQUOT || error == EIO) kind = Failure::Unavailable;
        break;
    }
    default:  // SQLITE_CORRUPT, SQLITE_NOTADB and the like
        break;
    }
    return {kind, QStringLiteral("%1: %2").arg(QLatin1String(step),
                                               QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)))};
}

// Damage that only a new file cures, met by a read or a write after the open.
bool isDamage(int rc) {
    return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB;
}

// With wholeFile, the file is read through to prove it sound; without, only
// its header and schema are.
Failure prepareSchema(sqlite3* db, bool wholeFile) {
    sqlite3_busy_timeout(db, 5000);
    // WAL with FULL synchronisation: a commit is on disk when it returns, and a
    // torn write can never damage what was committed before.
    static const char* const steps[] = {
        "PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL",
        "CREATE TABLE IF NOT EXISTS defaults (key TEXT PRIMARY KEY NOT NULL, value BLOB NOT NULL)"};
    for (const char* sql : steps) {
        if (const int rc = exec(db, sql); rc != SQLITE_OK) return failure(db, rc, sql);
    }
    if (!wholeFile) return {};
    Statement check(db, "PRAGMA quick_check");
    if (check.rc != SQLITE_OK) return failure(db, check.rc, "PRAGMA quick_check");
    if (const int rc = sqlite3_step(check.stmt); rc != SQLITE_ROW) return failure(db, rc, "PRAGMA quick_check");
    const auto* verdict = reinterpret_cast<const char*>(sqlite3_column_text(check.stmt, 0));
    if (!verdict || qstrcmp(verdict, "ok") != 0)
        return {Failure::Damaged, QStringLiteral("the integrity check says ") + QString::fromUtf8(verdict)};
    return {};
}

QVariant decode(const QString& key, sqlite3_stmt* stmt, int column) {
    const QByteArray bytes(static_cast<const char*>(sqlite3_column_blob(stmt, column)),
                           sqlite3_column_bytes(stmt, column));
    const QVariant value = plist::fromData(bytes);
    if (!value.isValid())
        qCWarning(lcBrelvo) << "defaults store: the value under" << key << "cannot be read; treated as none";
    return value;
}

}  // namespace

Defaults& Defaults::standard() {
    static Defaults* store = [] {
        auto* made = new Defaults(QDir(paths::documents()).filePath(QStringLiteral("brelvo-defaults.sqlite")));
        // Never destroyed, as threads may still use it while the process
        // ends, but its file is closed at exit: a file left open reads as an
        // unclean shutdown at the next start, which then checks all of it.
        std::atexit([] { standard().close(); });
        return made;
    }();
    return *store;
}

Defaults::Defaults(const QString& path) : path_(path) {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    // A write-ahead log left beside the file means its last user did not
    // close it (killed, or the power failed): only then is the whole file
    // checked, as only then can a write have been lost half-way without
    // anyone noticing. Otherwise the open costs the same whatever the file
    // holds, and damage is found where a read or a write meets it.
    Failure failed = open(QFileInfo::exists(path_ + QStringLiteral("-wal")));
    if (failed.kind == Failure::Damaged) {
        moveAside(QStringLiteral("is damaged (%1)").arg(failed.message));
        failed = open(false);
    }
    settle(failed);
}

// What the store does when it has no usable file after an open.
void Defaults::settle(const DefaultsFailure& failed) {
    if (!failed) return;
    if (failed.kind == Failure::Unavailable) {
        qCWarning(lcBrelvo).noquote() << "defaults store:" << path_ << "cannot be written now (" + failed.message +
                                             ") - the file is kept as it is; writes wait in memory until it can be";
        readWhatIsLeft();
        reopen_ = true;
        failing_ = true;
        return;
    }
    qCWarning(lcBrelvo) << "defaults store: cannot create" << path_ << "- values are kept in memory only";
}

Defaults::~Defaults() {
    close();
}

void Defaults::close() {
    synchronize();
    QMutexLocker syncLock(&syncMutex_);
    QMutexLocker lock(&mutex_);
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    reopen_ = false;
}

bool Defaults::isPersistent() const {
    QMutexLocker lock(&mutex_);
    return db_ != nullptr;
}

DefaultsFailure Defaults::open(bool wholeFileCheck) {
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    const int rc = sqlite3_open_v2(path_.toUtf8().constData(), &db, flags, nullptr);
    const Failure failed = rc == SQLITE_OK ? prepareSchema(db, wholeFileCheck) : failure(db, rc, "open");
    if (failed) {
        sqlite3_close_v2(db);
        return failed;
    }
    QMutexLocker lock(&mutex_);
    db_ = db;
    return {};
}

// A file on a full disk can often still be read: a connection in exclusive
// locking mode keeps the log's index in its own memory instead of the "-shm"
// file there was no room for. The connection is not kept (it would lock out
// every other one), so every value is read now.
void Defaults::readWhatIsLeft() {
    if (QFileInfo(path_).size() == 0) return;  // missing, or made by the failed open: nothing to read
    sqlite3* db = nullptr;
    QHash<QString, QVariant> values;
    int rc = sqlite3_open_v2(path_.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) rc = exec(db, "PRAGMA locking_mode=EXCLUSIVE");
    if (rc == SQLITE_OK) {
        Statement all(db, "SELECT key, value FROM defaults");
        rc = all.rc;
        while (rc == SQLITE_OK && (rc = sqlite3_step(all.stmt)) == SQLITE_ROW) {
            const QString key = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(all.stmt, 0)));
            values.insert(key, decode(key, all.stmt, 1));
            rc = SQLITE_OK;
        }
    }
    if (rc != SQLITE_DONE)
        qCWarning(lcBrelvo).noquote() << "defaults store: the values in" << path_ << "cannot be read either ("
                                      << (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) << ") - the store starts empty";
    sqlite3_close_v2(db);
    if (rc != SQLITE_DONE) return;
    QMutexLocker lock(&mutex_);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        if (!dirty_.contains(it.key())) cache_.insert(it.key(), it.value());
}

void Defaults::moveAside(const QString& reason) {
    const QString aside = path_ + QStringLiteral(".corrupt-") +
                          QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QFile::remove(path_ + QStringLiteral("-shm"));
    QFile::rename(path_ + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    const bool moved = QFile::rename(path_, aside);
    if (!moved) QFile::remove(path_);
    qCWarning(lcBrelvo).noquote() << "defaults store:" << path_ << reason << "- starting empty;"
                                  << (moved ? QStringLiteral("the old file is kept as ") + aside
                                            : QStringLiteral("the old file could not be kept"));
}

// With syncMutex_ held. The file turned out damaged after it was opened: as
// at an open, it goes aside and the store starts over with a new file. The
// values read from the damaged one are forgotten, the writes made since are
// kept for the new file.
void Defaults::startOverIfDamaged() {
    sqlite3* damaged = nullptr;
    QString why;
    {
        QMutexLocker lock(&mutex_);
        if (damage_.isEmpty()) return;
        why = std::exchange(damage_, QString());
        damaged = std::exchange(db_, nullptr);
        for (auto it = cache_.begin(); it != cache_.end();)
            it = dirty_.contains(it.key()) ? std::next(it) : cache_.erase(it);
    }
    if (!damaged) return;  // closed meanwhile
    // Closed without folding its log in, so that the copy kept aside is the
    // file as it was found.
    sqlite3_db_config(damaged, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close_v2(damaged);
    moveAside(QStringLiteral("is damaged (%1)").arg(why));
    settle(open(false));
}

QVariant Defaults::load(const QString& key) {
    auto cached = cache_.constFind(key);
    if (cached != cache_.constEnd()) return cached.value();
    QVariant value;
    if (db_) {
        Statement select(db_, "SELECT value FROM defaults WHERE key = ?1");
        const QByteArray k = key.toUtf8();
        int rc = select.rc;
        if (rc == SQLITE_OK) {
            sqlite3_bind_text(select.stmt, 1, k.constData(), static_cast<int>(k.size()), SQLITE_STATIC);
            rc = sqlite3_step(select.stmt);
            if (rc == SQLITE_ROW) value = decode(key, select.stmt, 0);
        }
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            qCWarning(lcBrelvo) << "defaults store: reading" << key << "failed:" << sqlite3_errmsg(db_);
            if (isDamage(rc)) damage_ = QStringLiteral("reading: ") + QString::fromUtf8(sqlite3_errmsg(db_));
            return {};  // not cached: a later read may succeed
        }
    }
    cache_.insert(key, value);
    return value;
}

QVariant Defaults::object(const QString& key) {
    {
        QMutexLocker lock(&mutex_);
        const QVariant value = load(key);
        if (damage_.isEmpty()) return value;
    }
    QMutexLocker syncLock(&syncMutex_);
    startOverIfDamaged();
    QMutexLocker lock(&mutex_);
    return load(key);
}

void Defaults::setObject(const QVariant& value, const QString& key) {
    if (value.isValid() && !plist::isPropertyList(value)) {
        qCWarning(lcBrelvo) << "defaults store: refused a value of type" << value.typeName() << "for" << key;
        return;
    }
    QMutexLocker lock(&mutex_);
    cache_.insert(key, value);
    dirty_.insert(key);
}

void Defaults::removeObject(const QString& key) {
    setObject(QVariant(), key);
}

QVariant Defaults::update(const QString& key, const std::function<QVariant(const QVariant&)>& fn) {
    QVariant next;
    {
        QMutexLocker lock(&mutex_);
        next = fn(load(key));
        if (next.isValid() && !plist::isPropertyList(next)) {
            qCWarning(lcBrelvo) << "defaults store: update of" << key << "gave a value of type" << next.typeName()
                                << "- left unchanged";
            return load(key);
        }
        cache_.insert(key, next);
        dirty_.insert(key);
    }
    synchronize();
    return next;
}

bool Defaults::synchronize() {
    QMutexLocker syncLock(&syncMutex_);
    // A file found damaged by a write goes aside and the writes go to the new
    // one at once; a second attempt would meet a new file, not damage.
    for (int attempt = 0;; ++attempt) {
        startOverIfDamaged();  // found by this write or by an earlier read
        {
            QMutexLocker lock(&mutex_);
            if (dirty_.isEmpty()) return true;
            if (!db_ && !reopen_) return false;  // memory only
        }
        // The file that could not be opened may have room again; trying costs
        // an open and is done only when there is something to write.
        if (reopen_) {
            if (open(QFileInfo::exists(path_ + QStringLiteral("-wal")))) return false;
            reopen_ = false;
            // Whatever was not written meanwhile is read from the file again:
            // it holds what could not be read while the disk was full, too.
            QMutexLocker lock(&mutex_);
            for (auto it = cache_.begin(); it != cache_.end();)
                it = dirty_.contains(it.key()) ? std::next(it) : cache_.erase(it);
        }

        std::vector<Pending> pending;
        {
            QMutexLocker lock(&mutex_);
            pending.reserve(dirty_.size());
            for (const QString& key : std::as_const(dirty_)) {
                const QVariant value = cache_.value(key);
                pending.push_back({key, value.isValid() ? plist::toBinary(value) : QByteArray()});
            }
            dirty_.clear();
        }

        QString failedStep;
        const int rc = commit(pending, failedStep);
        if (rc == SQLITE_OK) {
            if (failing_) qCInfo(lcBrelvo) << "defaults store: the writes that waited reached" << path_;
            failing_ = false;
            return true;
        }
        const QString error = QString::fromUtf8(sqlite3_errmsg(db_));
        exec(db_, "ROLLBACK");
        {
            // Kept pending so that the next attempt writes them.
            QMutexLocker lock(&mutex_);
            for (const Pending& p : pending) dirty_.insert(p.key);
            if (isDamage(rc) && attempt == 0) {
                damage_ = failedStep + QStringLiteral(": ") + error;
                continue;
            }
        }
        // Logged once while the file keeps refusing writes (a full disk
        // refuses every one of them).
        if (!failing_)
            qCWarning(lcBrelvo).noquote() << "defaults store:" << failedStep << "in" << path_ << "failed (" << error
                                          << ") - the writes wait in memory for the next attempt";
        failing_ = true;
        return false;
    }
}

// Writes the pending values in one transaction, left open when a step fails.
int Defaults::commit(const std::vector<Pending>& pending, QString& failedStep) {
    int rc = exec(db_, "BEGIN IMMEDIATE");
    failedStep = QStringLiteral("BEGIN");
    if (rc != SQLITE_OK) return rc;
    Statement upsert(db_, "INSERT INTO defaults (key, value) VALUES (?1, ?2) "
                          "ON CONFLICT(key) DO UPDATE SET value = excluded.value");
    Statement remove(db_, "DELETE FROM defaults WHERE key = ?1");
    rc = upsert.rc != SQLITE_OK ? upsert.rc : remove.rc;
    for (const Pending& p : pending) {
        if (rc != SQLITE_OK) return rc;
        const QByteArray key = p.key.toUtf8();
        sqlite3_stmt* stmt = p.bytes.isEmpty() ? remove.stmt : upsert.stmt;
        sqlite3_reset(stmt);
        sqlite3_bind_text(stmt, 1, key.constData(), static_cast<int>(key.size()), SQLITE_STATIC);
        if (!p.bytes.isEmpty())
            sqlite3_bind_blob64(stmt, 2, p.bytes.constData(), static_cast<sqlite3_uint64>(p.bytes.size()),
                                SQLITE_STATIC);
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE) rc = SQLITE_OK;
        else failedStep = QStringLiteral("writing ") + p.key;
    }
    if (rc != SQLITE_OK) return rc;
    failedStep = QStringLiteral("COMMIT");
    return exec(db_, "COMMIT");
}

}  // namespace brelvo
