#pragma once

#include "Database.h"

#include <atomic>
#include <condition_variable>
#include <thread>
#include <unordered_map>

struct pg_conn;

namespace brelvo::service {

// PostgreSQL through libpq, for several service instances on one database.
// Each instance keeps a small pool of connections: a statement borrows one
// for itself, a transaction for its whole length on its thread. A connection
// the server dropped (a restart, a network fault) is replaced; the statement
// that met it is tried once more on a new one when it ran outside a
// transaction, so that the first request after an outage does not fail.
class PostgresDatabase : public Database {
 public:
  // address: a libpq URI ("postgresql://user@host:port/database").
  static std::unique_ptr<Database> open(const std::string& address, std::string* error);
  ~PostgresDatabase() override;

  Kind kind() const override { return Kind::Postgres; }
  bool reachable() const override { return !unreachable_; }
  bool script(const std::string& sql) override;

  // SQLite's spelling of a statement in PostgreSQL's: $N for ?N.
  static std::string translate(const std::string& sql);
  // A table definition: INTEGER as BIGINT (ids and rids are 64-bit),
  // INTEGER PRIMARY KEY as an identity, BLOB as BYTEA.
  static std::string translateSchema(const std::string& sql);

 protected:
  std::optional<DbRows> execute(const std::string& sql, const DbValue* params, std::size_t count) override;
  bool begin(TransactionKind kind) override;
  bool end(bool commit) override;

 private:
  explicit PostgresDatabase(std::string address);

  pg_conn* connect(std::string* error);
  pg_conn* borrow(std::string* error);
  void giveBack(pg_conn* conn);
  // A lost connection most often means the server restarted, and the idle
  // ones went with it: opening them again costs less than a failed request.
  void dropIdle();
  pg_conn* boundConnection();
  // Runs on a connection; the rows, or nothing with the error set.
  std::optional<DbRows> runOn(pg_conn* conn, const std::string& sql, const DbValue* params, std::size_t count,
                              bool multiple);
  // One statement (or a script) on this thread's transaction, else on a
  // borrowed connection, tried again once on a new one when the connection
  // it met had been lost.
  std::optional<DbRows> run(const std::string& sql, const DbValue* params, std::size_t count, bool multiple);
  void reportReachable(bool reachable, const std::string& why);

  const std::string address_;
  std::mutex mutex_;
  std::condition_variable available_;
  std::vector<pg_conn*> idle_;
  int connections_ = 0;
  std::unordered_map<std::thread::id, pg_conn*> bound_;
  std::atomic<bool> unreachable_{false};
};

}  // namespace brelvo::service
