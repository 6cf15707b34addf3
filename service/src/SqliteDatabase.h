#pragma once

#include "Database.h"

struct sqlite3;

namespace brelvo::service {

// One SQLite connection shared by the server's worker threads. Every call
// takes the connection's lock; a transaction holds it until it ends.
class SqliteDatabase : public Database {
 public:
  SqliteDatabase() = default;
  ~SqliteDatabase() override;

  bool open(const std::string& path, std::string* error);
  Kind kind() const override { return Kind::Sqlite; }
  bool script(const std::string& sql) override;
  // A second, read-only connection to the same file. In WAL mode its reads
  // see one committed state and neither wait for nor hold up this one's
  // writers. Null for an in-memory database, which a second one would not see.
  std::unique_ptr<Database> openReader() override;

 protected:
  std::optional<DbRows> execute(const std::string& sql, const DbValue* params, std::size_t count) override;
  bool begin(TransactionKind kind) override;
  bool end(bool commit) override;

 private:
  bool openWith(const std::string& path, int flags, std::string* error);

  sqlite3* db_ = nullptr;
  std::recursive_mutex mutex_;
};

}  // namespace brelvo::service
