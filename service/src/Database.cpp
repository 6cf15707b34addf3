#include "Database.h"

#include <sqlite3.h>

#include <span>

namespace brelvo::service {

bool DbRow::isNull(std::size_t column) const {
  return column >= values.size() || std::holds_alternative<std::monostate>(values[column]);
}

std::int64_t DbRow::integer(std::size_t column) const {
  if (column >= values.size()) return 0;
  const DbValue& v = values[column];
  if (auto i = std::get_if<std::int64_t>(&v)) return *i;
  if (auto d = std::get_if<double>(&v)) return static_cast<std::int64_t>(*d);
  if (auto s = std::get_if<std::string>(&v)) {
    try {
      return std::stoll(*s);
    } catch (...) {
      return 0;
    }
  }
  return 0;
}

double DbRow::real(std::size_t column) const {
  if (column >= values.size()) return 0;
  const DbValue& v = values[column];
  if (auto d = std::get_if<double>(&v)) return *d;
  if (auto i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  return 0;
}

std::string DbRow::text(std::size_t column) const {
  if (column >= values.size()) return {};
  const DbValue& v = values[column];
  if (auto s = std::get_if<std::string>(&v)) return *s;
  if (auto i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  if (auto d = std::get_if<double>(&v)) return std::to_string(*d);
  return {};
}

Database::~Database() {
  if (db_) sqlite3_close_v2(db_);
}

bool Database::openWith(const std::string& path, int flags, std::string* error) {
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

std::unique_ptr<Database> Database::openReader(std::string* error) {
  std::string file;
  {
    std::lock_guard lock(mutex_);
    // Empty for an in-memory database, which a second connection would not see.
    const char* name = db_ ? sqlite3_db_filename(db_, "main") : nullptr;
    file = name ? name : "";
  }
  auto reader = std::make_unique<Database>();
  if (file.empty() || !reader->openWith(file, SQLITE_OPEN_READONLY, error)) return nullptr;
  return reader;
}

bool Database::open(const std::string& path, std::string* error) {
  std::lock_guard lock(mutex_);
  if (!openWith(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error)) return false;
  // WAL keeps the dashboard's reads from blocking the writers; NORMAL sync is
  // durable across a crash of this process, which is what a test service needs.
  if (!script("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;")) {
    if (error) *error = lastError_;
    return false;
  }
  return true;
}

std::optional<DbRows> Database::query(const std::string& sql, std::initializer_list<DbValue> params) {
  return query(sql, params.begin(), params.size());
}

std::optional<DbRows> Database::query(const std::string& sql, const std::vector<DbValue>& params) {
  return query(sql, params.data(), params.size());
}

std::optional<DbRows> Database::query(const std::string& sql, const DbValue* params, std::size_t count) {
  std::lock_guard lock(mutex_);
  if (!db_) {
    lastError_ = "database is not open";
    return std::nullopt;
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
    lastError_ = sqlite3_errmsg(db_);
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
    }
    if (rc != SQLITE_OK) {
      lastError_ = sqlite3_errmsg(db_);
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
      lastError_ = sqlite3_errmsg(db_);
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

bool Database::run(const std::string& sql, std::initializer_list<DbValue> params) {
  return query(sql, params).has_value();
}

bool Database::script(const std::string& sql) {
  std::lock_guard lock(mutex_);
  if (!db_) return false;
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    lastError_ = message ? message : "unknown SQLite error";
    sqlite3_free(message);
    return false;
  }
  return true;
}

std::int64_t Database::lastInsertId() {
  std::lock_guard lock(mutex_);
  return db_ ? sqlite3_last_insert_rowid(db_) : 0;
}

std::string Database::lastError() {
  std::lock_guard lock(mutex_);
  return lastError_;
}

Transaction::Transaction(Database& db) : db_(db), lock_(db.mutex()) {
  open_ = db_.script("BEGIN IMMEDIATE");
}

Transaction::~Transaction() {
  if (open_) db_.script("ROLLBACK");
}

bool Transaction::commit() {
  if (!open_) return false;
  open_ = false;
  if (db_.script("COMMIT")) return true;
  db_.script("ROLLBACK");
  return false;
}

}  // namespace brelvo::service
