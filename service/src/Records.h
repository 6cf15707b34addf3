#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace brelvo::service {

class Database;

// Which rows of each listing a page shows. Without a cursor every listing
// starts from its beginning; with one (a previous page's "next"), only the
// listings it names go on, after the row it names.
struct PageRequest {
  std::int64_t limit = 500;  // rows per listing
  QString cursor;
};

// What testers' devices sent, as one JSON document (GET /admin/records): each
// listing ordered by id, at most page.limit rows of each, and "next" (the
// cursor of the following page) while any listing has more. No value when the
// cursor is malformed.
std::optional<QJsonObject> recordsJson(Database& db, const PageRequest& page);

// A few lines for people at a terminal: how many sessions, requests (by
// method), state events, issues, crashes and log batches the database holds.
QString recordsSummary(Database& db);

// The dashboard page (GET /): the same records for people, newest first, with
// a link to the older ones. No value when the cursor is malformed.
std::optional<QByteArray> dashboardHtml(Database& db, const PageRequest& page);

// Stored file of an attachment or a crash log, by record id.
std::optional<QString> attachmentPath(Database& db, std::int64_t id);
std::optional<QString> crashLogPath(Database& db, std::int64_t id);

}  // namespace brelvo::service
