#include "platform/Defaults.h"

#include "platform/AppPaths.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <vector>

namespace brelvo {
namespace {

// Runs one statement without results; logs and returns false on failure.
bool exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        qCWarning(lcBrelvo) << "defaults store:" << sql << "failed:" << (message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        return false;
    }
    return true;
}

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
            qCWarning(lcBrelvo) << "defaults store: cannot prepare" << sql << sqlite3_errmsg(db);
            stmt = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(stmt); }
};

}  // namespace

Defaults& Defaults::standard() {
    static Defaults* store = new Defaults(QDir(paths::documents()).filePath(QStringLiteral("brelvo-defaults.sqlite")));
    return *store;
}

Defaults::Defaults(const QString& path) : path_(path) {
    QDir().mkpath(QFileInfo(path_).absolutePath());
    if (open()) return;
    moveAside(QStringLiteral("cannot be opened or is corrupt"));
    if (open()) return;
    qCWarning(lcBrelvo) << "defaults store: cannot create" << path_ << "- values are kept in memory only";
}

Defaults::~Defaults() {
    synchronize();
    if (db_) sqlite3_close_v2(db_);
}

bool Defaults::open() {
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path_.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        qCWarning(lcBrelvo) << "defaults store: cannot open" << path_ << ":" << (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
        return false;
    }
    db_ = db;
    if (prepareSchema()) return true;
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return false;
}

bool Defaults::prepareSchema() {
    sqlite3_busy_timeout(db_, 5000);
    // WAL with FULL synchronisation: a commit is on disk when it returns, and a
    // torn write can never damage what was committed before.
    if (!exec(db_, "PRAGMA journal_mode=WAL") || !exec(db_, "PRAGMA synchronous=FULL")) return false;
    if (!exec(db_, "CREATE TABLE IF NOT EXISTS defaults (key TEXT PRIMARY KEY NOT NULL, value BLOB NOT NULL)"))
        return false;
    Statement check(db_, "PRAGMA quick_check");
    if (!check.stmt || sqlite3_step(check.stmt) != SQLITE_ROW) return false;
    const auto* verdict = reinterpret_cast<const char*>(sqlite3_column_text(check.stmt, 0));
    if (!verdict || qstrcmp(verdict, "ok") != 0) {
        qCWarning(lcBrelvo) << "defaults store: integrity check of" << path_ << "says" << verdict;
        return false;
    }
    return true;
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

QVariant Defaults::load(const QString& key) const {
    auto cached = cache_.constFind(key);
    if (cached != cache_.constEnd()) return cached.value();
    QVariant value;
    if (db_) {
        Statement select(db_, "SELECT value FROM defaults WHERE key = ?1");
        const QByteArray k = key.toUtf8();
        if (select.stmt) {
            sqlite3_bind_text(select.stmt, 1, k.constData(), static_cast<int>(k.size()), SQLITE_STATIC);
            const int rc = sqlite3_step(select.stmt);
            if (rc == SQLITE_ROW) {
                const QByteArray bytes(static_cast<const char*>(sqlite3_column_blob(select.stmt, 0)),
                                       sqlite3_column_bytes(select.stmt, 0));
                value = plist::fromData(bytes);
                if (!value.isValid())
                    qCWarning(lcBrelvo) << "defaults store: the value under" << key << "cannot be read; treated as none";
            } else if (rc != SQLITE_DONE) {
                qCWarning(lcBrelvo) << "defaults store: reading" << key << "failed:" << sqlite3_errmsg(db_);
                return {};  // not cached: a later read may succeed
            }
        }
    }
    cache_.insert(key, value);
    return value;
}

QVariant Defaults::object(const QString& key) const {
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
    struct Pending {
        QString key;
        QByteArray bytes;  // empty: remove
    };
    std::vector<Pending> pending;
    {
        QMutexLocker lock(&mutex_);
        if (dirty_.isEmpty() || !db_) return db_ != nullptr || dirty_.isEmpty();
        pending.reserve(dirty_.size());
        for (const QString& key : std::as_const(dirty_)) {
            const QVariant value = cache_.value(key);
            pending.push_back({key, value.isValid() ? plist::toBinary(value) : QByteArray()});
        }
        dirty_.clear();
    }

    bool ok = exec(db_, "BEGIN IMMEDIATE");
    if (ok) {
        Statement upsert(db_, "INSERT INTO defaults (key, value) VALUES (?1, ?2) "
                              "ON CONFLICT(key) DO UPDATE SET value = excluded.value");
        Statement remove(db_, "DELETE FROM defaults WHERE key = ?1");
        ok = upsert.stmt && remove.stmt;
        for (const Pending& p : pending) {
            if (!ok) break;
            const QByteArray key = p.key.toUtf8();
            sqlite3_stmt* stmt = p.bytes.isEmpty() ? remove.stmt : upsert.stmt;
            sqlite3_reset(stmt);
            sqlite3_bind_text(stmt, 1, key.constData(), static_cast<int>(key.size()), SQLITE_STATIC);
            if (!p.bytes.isEmpty())
                sqlite3_bind_blob64(stmt, 2, p.bytes.constData(), static_cast<sqlite3_uint64>(p.bytes.size()),
                                    SQLITE_STATIC);
            ok = sqlite3_step(stmt) == SQLITE_DONE;
            if (!ok) qCWarning(lcBrelvo) << "defaults store: writing" << p.key << "failed:" << sqlite3_errmsg(db_);
        }
        ok = ok && exec(db_, "COMMIT");
        if (!ok) exec(db_, "ROLLBACK");
    }
    if (!ok) {
        // Keep the writes pending so that the next synchronize tries again.
        QMutexLocker lock(&mutex_);
        for (const Pending& p : pending) dirty_.insert(p.key);
    }
    return ok;
}

}  // namespace brelvo
