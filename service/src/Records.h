#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include "Listings.h"

#include <cstdint>
#include <optional>

namespace brelvo::service {

class Database;

// What testers' devices sent, as one JSON document (GET /admin/records): each
// listing ordered by id, at most page.limit rows of each, and "next" (the
// cursor of the following page) while any listing has more. No value when the
// cursor is malformed.
std::optional<QJsonObject> recordsJson(Database& db, const PageRequest& page);

// A few lines for people at a terminal: how many sessions, requests (by
// method), state events, issues, crashes and log batches the database holds.
QString recordsSummary(Database& db);

// Stored file of an attachment or a crash log, by record id.
std::optional<QString> attachmentPath(Database& db, std::int64_t id);
std::optional<QString> crashLogPath(Database& db, std::int64_t id);

}  // namespace brelvo::service
