#include "Database.h"

#include "PostgresDatabase.h"
#include "SqliteDatabase.h"

namespace brelvo::service {
namespace {

thread_local std::string tLastError;

}  // namespace

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
  if (auto b = std::get_if<DbBlob>(&v)) return b->bytes;
  if (auto i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  if (auto d = std::get_if<double>(&v)) return std::to_string(*d);
  return {};
}

bool Database::isPostgresAddress(const std::string& location) {
  return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Database> Database::open(const std::string& location, std::string* error) {
  if (isPostgresAddress(location)) return PostgresDatabase::open(location, error);
  auto db = std::make_unique<SqliteDatabase>();
  if (!db->open(location, error)) return nullptr;
  return db;
}

std::optional<DbRows> Database::query(const std::string& sql, std::initializer_list<DbValue> params) {
  return execute(sql, params.begin(), params.size());
}

std::optional<DbRows> Database::query(const std::string& sql, const std::vector<DbValue>& params) {
  return execute(sql, params.data(), params.size());
}

bool Database::run(const std::string& sql, std::initializer_list<DbValue> params) {
  return query(sql, params).has_value();
}

std::string Database::lastError() const { return tLastError; }

void Database::setLastError(std::string message) { tLastError = std::move(message); }

Transaction::Transaction(Database& db, Database::TransactionKind kind) : db_(db) { open_ = db_.begin(kind); }

Transaction::~Transaction() {
  if (open_) db_.end(false);
}

bool Transaction::commit() {
  if (!open_) return false;
  open_ = false;
  return db_.end(true);
}

}  // namespace brelvo::service
