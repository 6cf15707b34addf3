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
};

// After the columns exist, in a database of either form.
constexpr const char* kIndexes = R"SQL(
CREATE UNIQUE INDEX IF NOT EXISTS issues_delivery_id ON issues(delivery_id);
CREATE UNIQUE INDEX IF NOT EXISTS crashes_delivery_id ON crashes(delivery_id);
CREATE UNIQUE INDEX IF NOT EXISTS log_batches_delivery_id ON log_batches(delivery_id);
)SQL";

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
  if (!db.script(kSchema)) return fail();
  for (const AddedColumn& added : kAddedColumns) {
    bool ok = false;
    if (hasColumn(db, added.table, added.column, &ok)) continue;
    if (!ok) return fail();
    if (!db.script(std::string("ALTER TABLE ") + added.table + " ADD COLUMN " + added.column + " " + added.definition))
      return fail();
  }
  if (!db.script(kIndexes) || !tx.commit()) return fail();
  return true;
}

}  // namespace brelvo::service
