#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace brelvo::service {

// Bytes stored as they are (a screenshot, a crash log), unlike text.
struct DbBlob {
  std::string bytes;
};

// One stored value: NULL, integer, real, text or bytes.
using DbValue = std::variant<std::monostate, std::int64_t, double, std::string, DbBlob>;

struct DbRow {
  std::vector<DbValue> values;

  bool isNull(std::size_t column) const;
  std::int64_t integer(std::size_t column) const;
  double real(std::size_t column) const;
  // Text, or the bytes of a blob.
  std::string text(std::size_t column) const;
};

using DbRows = std::vector<DbRow>;

// The service's store. Statements are written once for both kinds: SQLite's
// dialect where the two agree, positional parameters as ?1, ?2, ..., types
// in table definitions as INTEGER, REAL, TEXT and BLOB; each kind translates
// what it must. Safe to use from the server's worker threads.
class Database {
 public:
  enum class Kind { Sqlite, Postgres };
  enum class TransactionKind { Write, Snapshot };

  virtual ~Database() = default;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // A "postgresql://" or "postgres://" address opens PostgreSQL; anything
  // else is an SQLite file, created when missing.
  static std::unique_ptr<Database> open(const std::string& location, std::string* error);
  static bool isPostgresAddress(const std::string& location);

  virtual Kind kind() const = 0;

  // Runs one statement. Returns the rows, or nothing when the store refused
  // the statement or could not be reached (see lastError()).
  std::optional<DbRows> query(const std::string& sql, std::initializer_list<DbValue> params = {});
  std::optional<DbRows> query(const std::string& sql, const std::vector<DbValue>& params);
  // Convenience for statements whose rows do not matter.
  bool run(const std::string& sql, std::initializer_list<DbValue> params = {});
  // Runs a script of several statements without parameters.
  virtual bool script(const std::string& sql) = 0;

  // What went wrong last on the calling thread.
  std::string lastError() const;
  // False while a database server cannot be reached.
  virtual bool reachable() const { return true; }

  // A connection of its own for a snapshot of many reads, when the store
  // needs one so that the reading neither waits for nor holds up writers;
  // null when this one serves such reads as well.
  virtual std::unique_ptr<Database> openReader() { return nullptr; }

 protected:
  Database() = default;
  friend class Transaction;

  virtual std::optional<DbRows> execute(const std::string& sql, const DbValue* params, std::size_t count) = 0;
  // Transactions belong to the calling thread: its statements run in it
  // until it ends. False when it could not begin.
  virtual bool begin(TransactionKind kind) = 0;
  virtual bool end(bool commit) = 0;

  static void setLastError(std::string message);
};

// Thrown where a whole answer depends on the store and it cannot be reached,
// so that the answer says so instead of showing an empty database.
struct DatabaseUnavailable : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A transaction on the calling thread: a write transaction (SQLite takes the
// write lock at once), or a snapshot in which several reads see one
// committed state. Rolls back unless commit() succeeded.
class Transaction {
 public:
  explicit Transaction(Database& db, Database::TransactionKind kind = Database::TransactionKind::Write);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool commit();
  // False when the transaction could not begin (see lastError()).
  bool isOpen() const { return open_; }

 private:
  Database& db_;
  bool open_ = false;
};

}  // namespace brelvo::service
