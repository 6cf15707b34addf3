#include "SqliteDatabase.h"

#include <sqlite3.h>

#include <span>

namespace brelvo::service {

SqliteDatabase::~SqliteDatabase() {
  if (db_) sqlite3_close_v2(db_);
}

bool SqliteDatabase::openWith(const std::string& path, int flags, std::string* error) {
  std::lock_guard lock(mutex_);
  int rc = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    if (error) *error = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    return false;
  }
  sqlite3_busy_timeout(db_, 5000);
  return true;
}

std::unique_ptr<Database> SqliteDatabase::openReader() {
  std::string file;
  {
    std::lock_guard lock(mutex_);
    const char* name = db_ ? sqlite3_db_filename(db_, "main") : nullptr;
    file = name ? name : "";
  }
  auto reader = std::make_unique<SqliteDatabase>();
  std::string error;
  if (file.empty() || !reader->openWith(file, SQLITE_OPEN_READONLY, &error)) return nullptr;
  return reader;
}

bool SqliteDatabase::open(const std::string& path, std::string* error) {
  std::lock_guard lock(mutex_);
  if (!openWith(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error)) return false;
  // WAL keeps the dashboard's reads from blocking the writers; NORMAL sync is
  // durable across a crash of this process, which is what a test service needs.
  if (!script("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;")) {
    if (error) *error = lastError();
    return false;
  }
  return true;
}

std::optional<DbRows> SqliteDatabase::execute(const std::string& sql, const DbValue* params, std::size_t count) {
  std::lock_guard lock(mutex_);
  if (!db_) {
    setLastError("database is not open");
    return std::nullopt;
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
    setLastError(sqlite3_errmsg(db_));
    return std::nullopt;
  }
  int index = 1;
  for (const DbValue& p : std::span(params, count)) {
    int rc = SQLITE_OK;
    if (std::holds_alternative<std::monostate>(p)) {
      rc = sqlite3_bind_null(stmt, index);
    } else if (auto i = std::get_if<std::int64_t>(&p)) {
      rc = sqlite3_bind_int64(stmt, index, *i);
    } else if (auto d = std::get_if<double>(&p)) {
      rc = sqlite3_bind_double(stmt, index, *d);
    } else if (auto s = std::get_if<std::string>(&p)) {
      rc = sqlite3_bind_text64(stmt, index, s->data(), s->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    } else if (auto b = std::get_if<DbBlob>(&p)) {
      rc = sqlite3_bind_blob64(stmt, index, b->bytes.data(), b->bytes.size(), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK) {
      setLastError(sqlite3_errmsg(db_));
      sqlite3_finalize(stmt);
      return std::nullopt;
    }
    ++index;
  }
  DbRows rows;
  for (;;) {
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) {
      setLastError(sqlite3_errmsg(db_));
      sqlite3_finalize(stmt);
      return std::nullopt;
    }
    DbRow row;
    int columns = sqlite3_column_count(stmt);
    row.values.reserve(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
          row.values.emplace_back(static_cast<std::int64_t>(sqlite3_column_int64(stmt, c)));
          break;
        case SQLITE_FLOAT:
          row.values.emplace_back(sqlite3_column_double(stmt, c));
          break;
        case SQLITE_NULL:
          row.values.emplace_back(std::monostate{});
          break;
        case SQLITE_BLOB: {
          const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, c));
          int size = sqlite3_column_bytes(stmt, c);
          row.values.emplace_back(DbBlob{std::string(bytes ? bytes : "", static_cast<std::size_t>(size))});
          break;
        }
        default: {
          const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
          int size = sqlite3_column_bytes(stmt, c);
          row.values.emplace_back(std::string(text ? text : "", static_cast<std::size_t>(size)));
        }
      }
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  return rows;
}

bool SqliteDatabase::script(const std::string& sql) {
  std::lock_guard lock(mutex_);
  if (!db_) return false;
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    setLastError(message ? message : "unknown SQLite error");
    sqlite3_free(message);
    return false;
  }
  return true;
}

bool SqliteDatabase::begin(TransactionKind kind) {
  // The lock stays with this thread until end(): other threads' statements
  // must not land inside this transaction.
  mutex_.lock();
  if (script(kind == TransactionKind::Write ? "BEGIN IMMEDIATE" : "BEGIN")) return true;
  mutex_.unlock();
  return false;
}

bool SqliteDatabase::end(bool commit) {
  bool ok = true;
  if (commit) ok = script("COMMIT");
  if (!commit || !ok) script("ROLLBACK");
  mutex_.unlock();
  return ok;
}

}  // namespace brelvo::service
