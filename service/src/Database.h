#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;

namespace brelvo::service {

// One SQLite value: NULL, integer, real or text (blobs are not used).
using DbValue = std::variant<std::monostate, std::int64_t, double, std::string>;

struct DbRow {
  std::vector<DbValue> values;

  bool isNull(std::size_t column) const;
  std::int64_t integer(std::size_t column) const;
  double real(std::size_t column) const;
  std::string text(std::size_t column) const;
};

using DbRows = std::vector<DbRow>;

// A single SQLite connection shared by the server's worker threads. Every call
// takes the connection's lock; a Transaction holds it for several statements.
class Database {
 public:
  Database() = default;
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  bool open(const std::string& path, std::string* error);
  // A second, read-only connection to the same file. In WAL mode its reads
  // see one committed state and neither wait for nor hold up this one's writers.
  std::unique_ptr<Database> openReader(std::string* error);

  // Runs one statement with positional parameters (?1, ?2, ...). Returns the
  // rows, or nothing when SQLite refused the statement (see lastError()).
  std::optional<DbRows> query(const std::string& sql, std::initializer_list<DbValue> params = {});
  std::optional<DbRows> query(const std::string& sql, const std::vector<DbValue>& params);
  // Convenience for statements whose rows do not matter.
  bool run(const std::string& sql, std::initializer_list<DbValue> params = {});
  // Runs a script of several statements without parameters.
  bool script(const std::string& sql);

  std::int64_t lastInsertId();
  std::string lastError();

  std::recursive_mutex& mutex() { return mutex_; }

 private:
  bool openWith(const std::string& path, int flags, std::string* error);
  std::optional<DbRows> query(const std::string& sql, const DbValue* params, std::size_t count);

  sqlite3* db_ = nullptr;
  std::string lastError_;
  std::recursive_mutex mutex_;
};

// BEGIN IMMEDIATE ... COMMIT under the connection's lock; rolls back unless
// commit() succeeded.
class Transaction {
 public:
  explicit Transaction(Database& db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool commit();

 private:
  Database& db_;
  std::unique_lock<std::recursive_mutex> lock_;
  bool open_ = false;
};

}  // namespace brelvo::service
