#pragma once

#include "Database.h"

#include <QString>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brelvo::service {

// Which rows of each listing a page shows. Without a cursor every listing
// starts from its beginning; with one (a previous page's "next"), only the
// listings it names go on, after the row it names.
struct PageRequest {
  std::int64_t limit = 500;  // rows per listing
  QString cursor;
};

// One paged listing: rows of `from` in the order of `key` (one or more integer
// expressions, compared as a row value), whose values are selected after
// `columns` so that a page can say where the next one starts.
struct Listing {
  const char* name;
  const char* columns;
  const char* from;
  const char* key;
  bool newestFirst = false;
};

// Per listing, the key of the last row already shown.
using Cursor = std::map<QString, std::vector<std::int64_t>>;

// "issues:12,requirements:3.7.101"; no value when malformed or when it names a
// listing this page does not have.
std::optional<Cursor> parseCursor(const QString& text, std::initializer_list<const Listing*> listings);
QString formatCursor(const Cursor& cursor);

// One page of a listing, narrowed by `where` (an SQL condition, or empty). A
// listing the cursor does not name is finished when there is a cursor at all;
// where a further page starts goes into `next`.
DbRows pageOf(Database& db, const Listing& l, const PageRequest& page, const Cursor& after, Cursor& next,
              const std::string& where = {});

// The rows of a statement; none when SQLite refused it.
DbRows queryRows(Database& db, const std::string& sql, std::initializer_list<DbValue> params = {});

// The rows of a child table for every parent row of a page, in one query
// rather than one per parent (each a round trip to a database server).
// `sql` selects the parent's id first and has "{ids}" where the parents' ids
// go, taken from column `idColumn` of `parents`; rows come back grouped by
// that id, in the statement's order.
std::map<std::int64_t, DbRows> childrenOf(Database& db, const std::string& sql, const DbRows& parents,
                                          std::size_t idColumn, std::initializer_list<DbValue> params = {});

// Where each tester who reported on each requirement stands with it: per
// requirement id, rows of requirement id, tester id, uid, full name, status
// (tester 0: sessions without a tester).
std::map<std::int64_t, DbRows> testerStatuses(Database& db, const DbRows& requirements, std::size_t idColumn);

// A requirement's or a result's status number as the testers' screens name it.
QString statusName(std::int64_t status);

// Issue texts arrive percent-escaped; people want to read them decoded.
QString readable(const std::string& text);

// A time in seconds since 1970 as people read it: "2026-12-07 14:28:35".
QString dateText(std::int64_t secs);

// Runs read(db) inside one snapshot: the listings agree with each other, and
// the service's writers neither wait for the reading nor for what is built
// from it afterwards. Throws DatabaseUnavailable when it cannot begin.
template <typename Read>
auto readSnapshot(Database& db, Read read) {
  std::unique_ptr<Database> reader = db.openReader();
  Database& from = reader ? *reader : db;
  Transaction snapshot(from, Database::TransactionKind::Snapshot);
  if (!snapshot.isOpen()) throw DatabaseUnavailable(from.lastError());
  return read(from);
}

}  // namespace brelvo::service
