#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace brelvo::service {

class Database;

// Everything testers' devices sent, as one JSON document (GET /admin/records).
QJsonObject recordsJson(Database& db);

// A few lines for people at a terminal: how many sessions, requests (by
// method), state events, issues, crashes and log batches the database holds.
QString recordsSummary(Database& db);

// The dashboard page (GET /): the same records for people, newest first.
QByteArray dashboardHtml(Database& db);

// Stored file of an attachment or a crash log, by record id.
std::optional<QString> attachmentPath(Database& db, std::int64_t id);
std::optional<QString> crashLogPath(Database& db, std::int64_t id);

}  // namespace brelvo::service
