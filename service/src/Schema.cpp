#include "Schema.h"

#include "Database.h"
#include "PostgresDatabase.h"

#include <algorithm>
#include <iterator>

namespace brelvo::service {
namespace {

// Columns added after databases of the earlier form were made; each is added
// where it is missing.
struct AddedColumn {
  const char* table;
  const char* column;
  const char* definition;
};
constexpr AddedColumn kAddedColumns[] = {
    // The library's identifier of a report that it may send more than once:
    // one row per identifier. Reports of older libraries carry none (NULL),
    // and any number of those may be stored.
    {"issues", "delivery_id", "TEXT"},
    {"crashes", "delivery_id", "TEXT"},
    {"log_batches", "delivery_id", "TEXT"},
    {"requirement_results", "delivery_id", "TEXT"},
};

// After the columns exist, in a database of either form.
constexpr const char* kIndexes = R"SQL(
CREATE UNIQUE INDEX IF NOT EXISTS issues_delivery_id ON issues(delivery_id);
CREATE UNIQUE INDEX IF NOT EXISTS crashes_delivery_id ON crashes(delivery_id);
CREATE UNIQUE INDEX IF NOT EXISTS log_batches_delivery_id ON log_batches(delivery_id);
CREATE UNIQUE INDEX IF NOT EXISTS requirement_results_delivery_id ON requirement_results(delivery_id);
-- The dashboard's lookups by parent row: without them each page scans every
-- report once per row it shows, and a busy service's page takes seconds.
CREATE INDEX IF NOT EXISTS sessions_revision ON sessions(revision_id);
CREATE INDEX IF NOT EXISTS issues_session ON issues(session_id);
CREATE INDEX IF NOT EXISTS crashes_session ON crashes(session_id);
CREATE INDEX IF NOT EXISTS log_batches_session ON log_batches(session_id);
CREATE INDEX IF NOT EXISTS state_events_session ON state_events(session_id);
CREATE INDEX IF NOT EXISTS attachments_issue ON attachments(issue_id);
CREATE INDEX IF NOT EXISTS log_entries_batch ON log_entries(batch_id);
CREATE INDEX IF NOT EXISTS requirement_results_requirement ON requirement_results(requirement_id);
)SQL";

// Databases made before statuses were kept per tester held one status per
// requirement, overwritten by every result. The history tells both what each
// tester reported last and where the requirement started (the first result's
// previous status), so nothing of it is lost.
constexpr const char* kStatusesFromHistory = R"SQL(
INSERT INTO requirement_statuses (requirement_id, tester_id, status)
SELECT r.requirement_id, COALESCE(s.tester_id, 0), r.status
  FROM requirement_results r LEFT JOIN sessions s ON s.id = r.session_id
 WHERE r.id = (SELECT MAX(r2.id) FROM requirement_results r2 LEFT JOIN sessions s2 ON s2.id = r2.session_id
                WHERE r2.requirement_id = r.requirement_id AND COALESCE(s2.tester_id, 0) = COALESCE(s.tester_id, 0));
UPDATE requirements
   SET status = (SELECT r.previous_status FROM requirement_results r WHERE r.requirement_id = requirements.id
                  ORDER BY r.id LIMIT 1)
 WHERE id IN (SELECT requirement_id FROM requirement_results);
)SQL";

// Versions after the first. Each runs once, in order, in the transaction
// that records it.
constexpr const char* kMigrations[] = {
    // 2: what one instance kept in memory or on its own disk, shared by all
    // instances on the database: the armed faults, and the bytes of
    // screenshots and crash logs where no folder is shared.
    R"SQL(
CREATE TABLE faults (
  id INTEGER PRIMARY KEY,
  settings TEXT NOT NULL,  -- the fault as /admin/faults lists it
  remaining INTEGER NOT NULL
);
CREATE TABLE stored_files (
  name TEXT PRIMARY KEY,
  content BLOB NOT NULL
);
)SQL",
};

bool hasTable(Database& db, const char* table, bool* ok) {
  const auto rows = db.kind() == Database::Kind::Sqlite
                        ? db.query("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1", {std::string(table)})
                        : db.query("SELECT 1 FROM information_schema.tables WHERE table_schema = current_schema()"
                                   " AND table_name = ?1",
                                   {std::string(table)});
  *ok = rows.has_value();
  return rows && !rows->empty();
}

bool hasColumn(Database& db, const std::string& table, const std::string& column, bool* ok) {
  const auto rows = db.query("SELECT name FROM pragma_table_info(?1)", {table});
  *ok = rows.has_value();
  if (!rows) return false;
  for (const DbRow& row : *rows) {
    if (row.text(0) == column) return true;
  }
  return false;
}

std::string dialect(Database& db, const char* sql) {
  return db.kind() == Database::Kind::Postgres ? PostgresDatabase::translateSchema(sql) : std::string(sql);
}

// The first version. An SQLite file of the service from before versions
// were kept has some of its tables already, perhaps without the columns
// and statuses added since.
bool firstVersion(Database& db, bool* ok) {
  const bool hadStatuses = hasTable(db, "requirement_statuses", ok);
  if (!*ok || !db.script(dialect(db, kSchema))) return false;
  if (!hadStatuses && !db.script(kStatusesFromHistory)) return false;
  if (db.kind() == Database::Kind::Sqlite) {
    for (const AddedColumn& added : kAddedColumns) {
      if (hasColumn(db, added.table, added.column, ok)) continue;
      if (!*ok) return false;
      if (!db.script(std::string("ALTER TABLE ") + added.table + " ADD COLUMN " + added.column + " " + added.definition))
        return false;
    }
  }
  return db.script(kIndexes);
}

}  // namespace

int latestSchemaVersion() { return 1 + static_cast<int>(std::size(kMigrations)); }

bool prepareSchema(Database& db, std::string* error) {
  auto fail = [&](std::string why = {}) {
    if (error) *error = why.empty() ? db.lastError() : why;
    return false;
  };
  Transaction tx(db);
  if (!tx.isOpen()) return fail();
  bool ok = true;
  if (!db.script(dialect(db, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"))) return fail();
  const std::optional<DbRows> stored = db.query("SELECT COALESCE(MAX(version), 0) FROM schema_version");
  if (!stored) return fail();
  const std::int64_t version = stored->at(0).integer(0);
  if (version > latestSchemaVersion()) {
    return fail("the database has schema version " + std::to_string(version) + ", and this brelvo-service knows " +
                "versions up to " + std::to_string(latestSchemaVersion()) + ": run a newer brelvo-service on it");
  }
  if (version < 1 && !firstVersion(db, &ok)) return fail();
  for (int v = std::max<int>(2, static_cast<int>(version) + 1); v <= latestSchemaVersion(); ++v) {
    if (!db.script(dialect(db, kMigrations[v - 2]))) return fail();
  }
  if (version < latestSchemaVersion() &&
      (!db.run("DELETE FROM schema_version") ||
       !db.run("INSERT INTO schema_version (version) VALUES (?1)", {std::int64_t(latestSchemaVersion())})))
    return fail();
  if (!tx.commit()) return fail();
  return true;
}

}  // namespace brelvo::service
