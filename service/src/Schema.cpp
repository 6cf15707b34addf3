#include "Schema.h"

#include "Database.h"

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

bool hasTable(Database& db, const char* table, bool* ok) {
  const auto rows = db.query("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1", {std::string(table)});
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

}  // namespace

bool prepareSchema(Database& db, std::string* error) {
  auto fail = [&] {
    if (error) *error = db.lastError();
    return false;
  };
  Transaction tx(db);
  bool ok = false;
  const bool hadStatuses = hasTable(db, "requirement_statuses", &ok);
  if (!ok) return fail();
  if (!db.script(kSchema)) return fail();
  if (!hadStatuses && !db.script(kStatusesFromHistory)) return fail();
  for (const AddedColumn& added : kAddedColumns) {
    if (hasColumn(db, added.table, added.column, &ok)) continue;
    if (!ok) return fail();
    if (!db.script(std::string("ALTER TABLE ") + added.table + " ADD COLUMN " + added.column + " " + added.definition))
      return fail();
  }
  if (!db.script(kIndexes) || !tx.commit()) return fail();
  return true;
}

}  // namespace brelvo::service
