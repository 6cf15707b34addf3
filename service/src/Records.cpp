#include "Records.h"

#include "Database.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace brelvo::service {
namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }
QJsonValue nullableId(const DbRow& r, std::size_t c) {
  return r.isNull(c) ? QJsonValue() : QJsonValue(static_cast<qint64>(r.integer(c)));
}
qint64 num(const DbRow& r, std::size_t c) { return static_cast<qint64>(r.integer(c)); }

// Issue texts arrive percent-escaped; people want to read them decoded.
QString readable(const std::string& s) { return QUrl::fromPercentEncoding(QByteArray::fromStdString(s)); }

DbRows queryRows(Database& db, const std::string& sql, std::initializer_list<DbValue> params = {}) {
  auto rows = db.query(sql, params);
  return rows ? std::move(*rows) : DbRows{};
}

QString html(const QString& s) { return s.toHtmlEscaped(); }
QString html(const std::string& s) { return qs(s).toHtmlEscaped(); }
// A requirement's or a result's status number as the testers' screens name it.
QString statusName(std::int64_t s) {
  static const char* kStatus[] = {"pending", "in progress", "passed", "failed"};
  return QString::fromLatin1(s >= 0 && s <= 3 ? kStatus[s] : "?");
}
QString when(std::int64_t secs) {
  return QDateTime::fromSecsSinceEpoch(secs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

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

std::vector<std::string> keyParts(const Listing& l) {
  std::vector<std::string> parts;
  for (const QString& part : QString::fromLatin1(l.key).split(QLatin1Char(','))) parts.push_back(part.trimmed().toStdString());
  return parts;
}

// Per listing, the key of the last row already shown.
using Cursor = std::map<QString, std::vector<std::int64_t>>;

// "issues:12,requirements:3.7.101"; no value when malformed or when it names a
// listing this page does not have.
std::optional<Cursor> parseCursor(const QString& text, std::initializer_list<const Listing*> listings) {
  Cursor cursor;
  if (text.isEmpty()) return cursor;
  for (const QString& part : text.split(QLatin1Char(','))) {
    const qsizetype colon = part.indexOf(QLatin1Char(':'));
    const QString name = part.left(colon);
    auto listing = std::find_if(listings.begin(), listings.end(), [&](const Listing* l) { return name == QLatin1String(l->name); });
    if (colon <= 0 || listing == listings.end() || cursor.contains(name)) return std::nullopt;
    std::vector<std::int64_t> key;
    for (const QString& value : part.mid(colon + 1).split(QLatin1Char('.'))) {
      bool ok = false;
      key.push_back(value.toLongLong(&ok));
      if (!ok) return std::nullopt;
    }
    if (key.size() != keyParts(**listing).size()) return std::nullopt;
    cursor[name] = std::move(key);
  }
  return cursor;
}

QString formatCursor(const Cursor& cursor) {
  QStringList parts;
  for (const auto& [name, key] : cursor) {
    QStringList values;
    for (std::int64_t v : key) values << QString::number(v);
    parts << name + QLatin1Char(':') + values.join(QLatin1Char('.'));
  }
  return parts.join(QLatin1Char(','));
}

// One page of a listing. A listing the cursor does not name is finished when
// there is a cursor at all; where a further page starts goes into `next`.
DbRows pageOf(Database& db, const Listing& l, const PageRequest& page, const Cursor& after, Cursor& next) {
  const std::vector<std::string> key = keyParts(l);
  std::string sql = std::string("SELECT ") + l.columns + ", " + l.key + " FROM " + l.from;
  std::vector<DbValue> params;
  auto from = after.find(QString::fromLatin1(l.name));
  if (from != after.end()) {
    sql += std::string(" WHERE (") + l.key + (l.newestFirst ? ") < (" : ") > (");
    for (std::size_t i = 0; i < key.size(); ++i) {
      sql += (i ? ", ?" : "?") + std::to_string(i + 1);
      params.emplace_back(from->second[i]);
    }
    sql += ")";
  } else if (!page.cursor.isEmpty()) {
    return {};
  }
  sql += " ORDER BY ";
  for (std::size_t i = 0; i < key.size(); ++i) sql += (i ? ", " : "") + key[i] + (l.newestFirst ? " DESC" : "");
  sql += " LIMIT " + std::to_string(page.limit + 1);

  DbRows rows = db.query(sql, params).value_or(DbRows{});
  if (static_cast<std::int64_t>(rows.size()) > page.limit) {
    rows.resize(static_cast<std::size_t>(page.limit));
    const DbRow& last = rows.back();
    std::vector<std::int64_t> lastKey;
    for (std::size_t i = last.values.size() - key.size(); i < last.values.size(); ++i) lastKey.push_back(last.integer(i));
    next[QString::fromLatin1(l.name)] = std::move(lastKey);
  }
  return rows;
}

// Runs read(db) on a connection of its own inside one read transaction: the
// listings agree with each other, and the service's writers neither wait for
// the reading nor for what is built from it afterwards.
template <typename Read>
auto readSnapshot(Database& db, Read read) {
  std::string error;
  std::unique_ptr<Database> reader = db.openReader(&error);
  std::unique_lock<std::recursive_mutex> shared(db.mutex(), std::defer_lock);
  if (!reader) shared.lock();  // no file to open again: read through the shared connection, alone
  Database& from = reader ? *reader : db;
  from.script("BEGIN");
  auto result = read(from);
  from.script("COMMIT");
  return result;
}

constexpr Listing kSessions{"sessions",
                            "s.id, s.token, s.project_id, s.revision_id, s.tester_id, s.udid, s.locale, s.a_v, s.created_at,"
                            " a.bundle_id, v.bundle_version, COALESCE(t.uid, '')",
                            "sessions s JOIN revisions v ON v.id = s.revision_id JOIN apps a ON a.id = v.app_id"
                            " LEFT JOIN testers t ON t.id = s.tester_id",
                            "s.id"};
constexpr Listing kRequests{"requests", "id, received_at, method, session_id, body_bytes, response_code, fault", "requests", "id"};
constexpr Listing kIssues{"issues", "id, session_id, received_at, locale, tracker, priority, subject, description, rid, uid, draft",
                          "issues", "id"};
constexpr Listing kCrashes{"crashes",
                           "id, session_id, project_id, received_at, locale, app_id, api_key, udid, uid, rid, log, log_path,"
                           " device_env",
                           "crashes", "id"};
constexpr Listing kLogBatches{"log_batches", "id, session_id, received_at, format, locale, entry_count", "log_batches", "id"};
constexpr Listing kStateEvents{"state_events", "id, session_id, received_at, locale, state_action, state_action_at",
                               "state_events", "id"};
constexpr Listing kResults{"requirement_results", "id, session_id, requirement_id, rid, status, previous_status, received_at",
                           "requirement_results", "id"};
constexpr Listing kRequirements{"requirements", "q.revision_id, v.bundle_version, q.rid, q.code, q.title, q.status, q.id",
                                "requirements q JOIN revisions v ON v.id = q.revision_id", "q.revision_id, q.number, q.rid"};

// The dashboard's sections, newest first (requirements in their test plan's order).
constexpr Listing kIssuesShown{"issues", "id, received_at, session_id, tracker, priority, subject, description, rid", "issues",
                               "id", true};
constexpr Listing kCrashesShown{"crashes", "id, received_at, session_id, udid, rid, substr(log, 1, 2000)", "crashes", "id", true};
constexpr Listing kLogBatchesShown{"log_batches", "id, received_at, session_id, format, entry_count", "log_batches", "id", true};
constexpr Listing kStateEventsShown{"state_events", "id, received_at, session_id, state_action, state_action_at", "state_events",
                                    "id", true};
constexpr Listing kResultsShown{"requirement_results", "id, received_at, session_id, rid, previous_status, status",
                                "requirement_results", "id", true};
constexpr Listing kSessionsShown{"sessions",
                                 "s.id, s.created_at, a.bundle_id || ' ' || v.bundle_version, COALESCE(t.full_name, ''), s.udid,"
                                 " s.locale, s.a_v",
                                 "sessions s JOIN revisions v ON v.id = s.revision_id JOIN apps a ON a.id = v.app_id"
                                 " LEFT JOIN testers t ON t.id = s.tester_id",
                                 "s.id", true};
constexpr Listing kRequirementsShown{"requirements", "v.bundle_version, q.rid, q.code, q.title, q.status, q.id",
                                     "requirements q JOIN revisions v ON v.id = q.revision_id", "q.revision_id, q.number, q.rid"};

// Where each tester who reported on the requirement stands with it: tester id,
// uid, full name, status (tester 0: sessions without a tester).
DbRows testerStatuses(Database& db, std::int64_t requirementId) {
  return queryRows(db,
                   "SELECT rs.tester_id, COALESCE(t.uid, ''), COALESCE(t.full_name, ''), rs.status"
                   " FROM requirement_statuses rs LEFT JOIN testers t ON t.id = rs.tester_id"
                   " WHERE rs.requirement_id = ?1 ORDER BY rs.tester_id",
                   {requirementId});
}

// Log entries shown per batch on the dashboard; the whole batch is in /admin/records.
constexpr int kEntriesShown = 100;

}  // namespace

namespace {

QJsonObject recordsPage(Database& db, const PageRequest& page, const Cursor& after) {
  Cursor next;
  const auto rowsOf = [&](const Listing& l) { return pageOf(db, l, page, after, next); };
  QJsonObject out;

  QJsonArray sessions;
  for (const DbRow& r : rowsOf(kSessions)) {
    sessions.append(QJsonObject{{"id", num(r, 0)},           {"access_token", qs(r.text(1))}, {"project_id", num(r, 2)},
                                {"revision_id", num(r, 3)},  {"tester_id", nullableId(r, 4)}, {"udid", qs(r.text(5))},
                                {"locale", qs(r.text(6))},   {"a_v", qs(r.text(7))},          {"created_at", num(r, 8)},
                                {"bundle_id", qs(r.text(9))}, {"bundle_version", qs(r.text(10))},
                                {"tester_uid", qs(r.text(11))}});
  }
  out.insert(QStringLiteral("sessions"), sessions);

  QJsonArray requests;
  for (const DbRow& r : rowsOf(kRequests)) {
    requests.append(QJsonObject{{"id", num(r, 0)},
                                {"received_at", num(r, 1)},
                                {"method", qs(r.text(2))},
                                {"session_id", nullableId(r, 3)},
                                {"body_bytes", num(r, 4)},
                                {"response_code", nullableId(r, 5)},
                                {"fault", r.isNull(6) ? QJsonValue() : QJsonValue(qs(r.text(6)))}});
  }
  out.insert(QStringLiteral("requests"), requests);

  QJsonArray issues;
  for (const DbRow& r : rowsOf(kIssues)) {
    QJsonArray attachments;
    for (const DbRow& a : queryRows(db, "SELECT id, position, name, path, size, is_png FROM attachments WHERE issue_id = ?1"
                                     " ORDER BY position",
                                 {r.integer(0)})) {
      attachments.append(QJsonObject{{"id", num(a, 0)},       {"position", num(a, 1)}, {"name", qs(a.text(2))},
                                     {"path", qs(a.text(3))}, {"size", num(a, 4)},     {"png", a.integer(5) != 0}});
    }
    issues.append(QJsonObject{{"id", num(r, 0)},
                              {"session_id", num(r, 1)},
                              {"received_at", num(r, 2)},
                              {"locale", qs(r.text(3))},
                              {"tracker", qs(r.text(4))},
                              {"priority", qs(r.text(5))},
                              {"subject", qs(r.text(6))},
                              {"description", qs(r.text(7))},
                              {"subject_text", readable(r.text(6))},
                              {"description_text", readable(r.text(7))},
                              {"rid", qs(r.text(8))},
                              {"uid", qs(r.text(9))},
                              {"draft", qs(r.text(10))},
                              {"attachments", attachments}});
  }
  out.insert(QStringLiteral("issues"), issues);

  QJsonArray crashes;
  for (const DbRow& r : rowsOf(kCrashes)) {
    crashes.append(QJsonObject{{"id", num(r, 0)},
                               {"session_id", nullableId(r, 1)},
                               {"project_id", nullableId(r, 2)},
                               {"received_at", num(r, 3)},
                               {"locale", qs(r.text(4))},
                               {"app_id", qs(r.text(5))},
                               {"api_key", qs(r.text(6))},
                               {"udid", qs(r.text(7))},
                               {"uid", qs(r.text(8))},
                               {"rid", qs(r.text(9))},
                               {"log", qs(r.text(10))},
                               {"log_path", qs(r.text(11))},
                               {"device_env", QJsonDocument::fromJson(QByteArray::fromStdString(r.text(12))).object()}});
  }
  out.insert(QStringLiteral("crashes"), crashes);

  QJsonArray batches;
  for (const DbRow& r : rowsOf(kLogBatches)) {
    QJsonArray entries;
    for (const DbRow& e : queryRows(db, "SELECT log_level, message, created_at FROM log_entries WHERE batch_id = ?1 ORDER BY id",
                                 {r.integer(0)})) {
      entries.append(QJsonObject{{"log_level", qs(e.text(0))}, {"message", qs(e.text(1))}, {"created_at", qs(e.text(2))}});
    }
    batches.append(QJsonObject{{"id", num(r, 0)},          {"session_id", nullableId(r, 1)}, {"received_at", num(r, 2)},
                               {"format", qs(r.text(3))},  {"locale", qs(r.text(4))},        {"entry_count", num(r, 5)},
                               {"entries", entries}});
  }
  out.insert(QStringLiteral("log_batches"), batches);

  QJsonArray states;
  for (const DbRow& r : rowsOf(kStateEvents)) {
    states.append(QJsonObject{{"id", num(r, 0)},         {"session_id", num(r, 1)},          {"received_at", num(r, 2)},
                              {"locale", qs(r.text(3))}, {"state_action", qs(r.text(4))}, {"state_action_at", qs(r.text(5))}});
  }
  out.insert(QStringLiteral("state_events"), states);

  QJsonArray results;
  for (const DbRow& r : rowsOf(kResults)) {
    results.append(QJsonObject{{"id", num(r, 0)},     {"session_id", num(r, 1)},      {"requirement_id", num(r, 2)},
                               {"rid", num(r, 3)},    {"status", num(r, 4)},          {"previous_status", num(r, 5)},
                               {"received_at", num(r, 6)}});
  }
  out.insert(QStringLiteral("requirement_results"), results);

  QJsonArray requirements;
  for (const DbRow& r : rowsOf(kRequirements)) {
    QJsonArray testers;
    for (const DbRow& t : testerStatuses(db, r.integer(6)))
      testers.append(QJsonObject{{"tester_id", num(t, 0)}, {"tester_uid", qs(t.text(1))}, {"status", num(t, 3)}});
    // "status" is where every tester starts; "testers" where each one who reported stands.
    requirements.append(QJsonObject{{"revision_id", num(r, 0)}, {"bundle_version", qs(r.text(1))}, {"rid", num(r, 2)},
                                    {"code", qs(r.text(3))},     {"title", qs(r.text(4))},          {"status", num(r, 5)},
                                    {"testers", testers}});
  }
  out.insert(QStringLiteral("requirements"), requirements);
  if (!next.empty()) out.insert(QStringLiteral("next"), formatCursor(next));
  return out;
}

}  // namespace

std::optional<QJsonObject> recordsJson(Database& db, const PageRequest& page) {
  const std::optional<Cursor> after = parseCursor(
      page.cursor, {&kSessions, &kRequests, &kIssues, &kCrashes, &kLogBatches, &kStateEvents, &kResults, &kRequirements});
  if (!after) return std::nullopt;
  return readSnapshot(db, [&](Database& reader) { return recordsPage(reader, page, *after); });
}

QString recordsSummary(Database& db) {
  const QJsonObject records = recordsJson(db, PageRequest{.limit = std::int64_t(1) << 60, .cursor = {}}).value_or(QJsonObject());
  const auto list = [&records](const char* key) { return records.value(QLatin1String(key)).toArray(); };
  // "a 3, b 1" in order of first appearance.
  const auto tallyBy = [](const QJsonArray& rows, const auto& valueOf) {
    QStringList order;
    QMap<QString, int> counts;
    for (const QJsonValue& row : rows) {
      const QString value = valueOf(row.toObject());
      if (!counts.contains(value)) order << value;
      ++counts[value];
    }
    QStringList parts;
    for (const QString& value : order) parts << QStringLiteral("%1 %2").arg(value).arg(counts[value]);
    return parts.join(QStringLiteral(", "));
  };
  const auto tally = [&tallyBy](const QJsonArray& rows, const char* field) {
    return tallyBy(rows, [field](const QJsonObject& row) { return row.value(QLatin1String(field)).toString(); });
  };
  const auto resultStatus = [](const QJsonObject& row) { return statusName(row.value(QLatin1String("status")).toInteger(-1)); };
  const auto line = [](const QString& label, qsizetype count, const QString& detail = {}) {
    return QStringLiteral("%1 %2%3\n").arg(label + QLatin1Char(':'), -20).arg(count).arg(detail.isEmpty() ? QString() : QStringLiteral("  (") + detail + QLatin1Char(')'));
  };

  QString out;
  const QJsonArray sessions = list("sessions");
  out += line(QStringLiteral("sessions"), sessions.size());
  for (const QJsonValue& v : sessions) {
    const QJsonObject s = v.toObject();
    out += QStringLiteral("  #%1 %2 %3, tester %4, library %5, started %6\n")
               .arg(s.value(QLatin1String("id")).toInteger())
               .arg(s.value(QLatin1String("bundle_id")).toString(), s.value(QLatin1String("bundle_version")).toString(),
                    s.value(QLatin1String("tester_uid")).toString(), s.value(QLatin1String("a_v")).toString(),
                    when(s.value(QLatin1String("created_at")).toInteger()));
  }

  const QJsonArray requests = list("requests");
  int faulted = 0, refused = 0;
  for (const QJsonValue& v : requests) {
    const QJsonObject r = v.toObject();
    if (!r.value(QLatin1String("fault")).isNull()) ++faulted;
    if (r.value(QLatin1String("response_code")).toInteger(0) != 0) ++refused;
  }
  out += line(QStringLiteral("requests"), requests.size(), tally(requests, "method"));
  if (faulted || refused) {
    out += QStringLiteral("  %1 answered with an injected fault, %2 with a non-zero response code\n").arg(faulted).arg(refused);
  }

  const QJsonArray states = list("state_events");
  out += line(QStringLiteral("state events"), states.size(), tally(states, "state_action"));

  const QJsonArray issues = list("issues");
  qsizetype attachments = 0;
  for (const QJsonValue& v : issues) attachments += v.toObject().value(QLatin1String("attachments")).toArray().size();
  out += line(QStringLiteral("issues"), issues.size(),
              issues.isEmpty() ? QString() : QStringLiteral("%1 screenshots and files").arg(attachments));
  for (const QJsonValue& v : issues) {
    // "0" or nothing: the issue was not about a test.
    const QString rid = v.toObject().value(QLatin1String("rid")).toString();
    if (rid.toLongLong() >= 1) out += QStringLiteral("  #%1 on requirement %2\n").arg(v.toObject().value(QLatin1String("id")).toInteger()).arg(rid);
  }
  out += line(QStringLiteral("crashes"), list("crashes").size());

  const QJsonArray batches = list("log_batches");
  qint64 entries = 0;
  for (const QJsonValue& v : batches) entries += v.toObject().value(QLatin1String("entry_count")).toInteger();
  out += line(QStringLiteral("log batches"), batches.size(), batches.isEmpty() ? QString() : QStringLiteral("%1 entries").arg(entries));
  // Per requirement, its results in the order they came.
  const QJsonArray results = list("requirement_results");
  out += line(QStringLiteral("requirement results"), results.size(), tallyBy(results, resultStatus));
  QList<qint64> rids;
  QMap<qint64, QStringList> history;
  for (const QJsonValue& v : results) {
    const qint64 rid = v.toObject().value(QLatin1String("rid")).toInteger();
    if (!history.contains(rid)) rids << rid;
    history[rid] << resultStatus(v.toObject());
  }
  for (qint64 rid : rids) out += QStringLiteral("  requirement %1: %2\n").arg(rid).arg(history[rid].join(QStringLiteral(", ")));
  return out;
}

namespace {

QByteArray dashboardPage(Database& db, const PageRequest& page, const Cursor& after) {
  Cursor next;
  const auto rowsOf = [&](const Listing& l) { return pageOf(db, l, page, after, next); };

  QString out;
  out += QStringLiteral(
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Brelvo service</title><style>"
      "body{font-family:sans-serif;margin:1.5em;color:#222}table{border-collapse:collapse;margin-bottom:2em}"
      "td,th{border:1px solid #ccc;padding:4px 8px;vertical-align:top;text-align:left}th{background:#eee}"
      "img.shot{max-width:160px;max-height:160px;border:1px solid #999}pre{margin:0;white-space:pre-wrap;max-width:60em}"
      "</style></head><body><h1>What testers sent</h1>");

  out += QStringLiteral("<h2>Issues</h2><table><tr><th>#</th><th>received</th><th>session</th><th>type</th>"
                         "<th>severity</th><th>summary</th><th>description</th><th>test</th><th>screenshots</th></tr>");
  for (const DbRow& r : rowsOf(kIssuesShown)) {
    QString shots;
    for (const DbRow& a : queryRows(db, "SELECT id, name FROM attachments WHERE issue_id = ?1 ORDER BY position", {r.integer(0)})) {
      shots += QStringLiteral("<a href=\"/attachments/%1\"><img class=\"shot\" src=\"/attachments/%1\" alt=\"%2\"></a> ")
                   .arg(a.integer(0))
                   .arg(html(a.text(1)));
    }
    out += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td><td><pre>%7</pre></td>"
                           "<td>%8</td><td>%9</td></tr>")
                .arg(r.integer(0))
                .arg(when(r.integer(1)))
                .arg(r.integer(2))
                .arg(html(r.text(3)), html(r.text(4)), html(readable(r.text(5))), html(readable(r.text(6))), html(r.text(7)),
                     shots);
  }
  out += QStringLiteral("</table>");

  out += QStringLiteral("<h2>Crashes</h2><table><tr><th>#</th><th>received</th><th>session / device</th><th>test</th>"
                         "<th>log</th></tr>");
  for (const DbRow& r : rowsOf(kCrashesShown)) {
    QString who = r.isNull(2) ? html(r.text(3)) : QStringLiteral("session %1").arg(r.integer(2));
    out += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td><pre>%5</pre><a href=\"/crashes/%1.txt\">whole log</a></td></tr>")
                .arg(r.integer(0))
                .arg(when(r.integer(1)), who, html(r.text(4)), html(r.text(5)));
  }
  out += QStringLiteral("</table>");

  out += QStringLiteral("<h2>Log batches</h2><table><tr><th>#</th><th>received</th><th>session</th><th>format</th><th>entries</th></tr>");
  for (const DbRow& r : rowsOf(kLogBatchesShown)) {
    QString entries;
    for (const DbRow& e : queryRows(db, "SELECT log_level, message, created_at FROM log_entries WHERE batch_id = ?1 ORDER BY id"
                                        " LIMIT " + std::to_string(kEntriesShown),
                                    {r.integer(0)})) {
      entries += QStringLiteral("%1 [%2] %3\n").arg(html(e.text(2)), html(e.text(0)), html(e.text(1)));
    }
    if (r.integer(4) > kEntriesShown) entries += QStringLiteral("(%1 more)\n").arg(r.integer(4) - kEntriesShown);
    out += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td><pre>%5</pre></td></tr>")
                .arg(r.integer(0))
                .arg(when(r.integer(1)), r.isNull(2) ? QStringLiteral("-") : QString::number(r.integer(2)), html(r.text(3)),
                     entries.isEmpty() ? QStringLiteral("(empty)") : entries);
  }
  out += QStringLiteral("</table>");

  out += QStringLiteral("<h2>Application states</h2><table><tr><th>#</th><th>received</th><th>session</th><th>action</th><th>at</th></tr>");
  for (const DbRow& r : rowsOf(kStateEventsShown)) {
    out += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td></tr>")
                .arg(r.integer(0))
                .arg(when(r.integer(1)))
                .arg(r.integer(2))
                .arg(html(r.text(3)), html(r.text(4)));
  }
  out += QStringLiteral("</table>");

  out += QStringLiteral("<h2>Requirement results</h2><table><tr><th>#</th><th>received</th><th>session</th><th>requirement</th><th>from</th><th>to</th></tr>");
  for (const DbRow& r : rowsOf(kResultsShown)) {
    out += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td></tr>")
                .arg(r.integer(0))
                .arg(when(r.integer(1)))
                .arg(r.integer(2))
                .arg(r.integer(3))
                .arg(statusName(r.integer(4)), statusName(r.integer(5)));
  }
  out += QStringLiteral("</table>");

  out += QStringLiteral("<h2>Sessions</h2><table><tr><th>#</th><th>started</th><th>build</th><th>tester</th><th>device</th><th>locale</th><th>library</th></tr>");
  for (const DbRow& r : rowsOf(kSessionsShown)) {
    out += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td><td>%7</td></tr>")
                .arg(r.integer(0))
                .arg(when(r.integer(1)), html(r.text(2)), html(r.text(3)), html(r.text(4)), html(r.text(5)), html(r.text(6)));
  }
  out += QStringLiteral("</table>");

  out += QStringLiteral("<h2>Requirements</h2><table><tr><th>build</th><th>rid</th><th>code</th><th>title</th><th>status</th>"
                        "<th>by tester</th></tr>");
  for (const DbRow& r : rowsOf(kRequirementsShown)) {
    QStringList byTester;
    for (const DbRow& t : testerStatuses(db, r.integer(5))) {
      const std::string who = !t.text(2).empty() ? t.text(2) : !t.text(1).empty() ? t.text(1) : "no tester";
      byTester << html(who) + QStringLiteral(": ") + statusName(t.integer(3));
    }
    out += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td></tr>")
                .arg(html(r.text(0)), QString::number(r.integer(1)), html(r.text(2)), html(r.text(3)),
                     statusName(r.integer(4)), byTester.join(QStringLiteral("<br>")));
  }
  out += QStringLiteral("</table>");
  if (!next.empty()) {
    out += QStringLiteral("<p><a href=\"/?limit=%1&amp;cursor=%2\">Older records</a></p>")
                .arg(page.limit)
                .arg(QString::fromLatin1(QUrl::toPercentEncoding(formatCursor(next))));
  }
  out += QStringLiteral("</body></html>\n");
  return out.toUtf8();
}

}  // namespace

std::optional<QByteArray> dashboardHtml(Database& db, const PageRequest& page) {
  const std::optional<Cursor> after =
      parseCursor(page.cursor, {&kIssuesShown, &kCrashesShown, &kLogBatchesShown, &kStateEventsShown, &kResultsShown,
                                &kSessionsShown, &kRequirementsShown});
  if (!after) return std::nullopt;
  return readSnapshot(db, [&](Database& reader) { return dashboardPage(reader, page, *after); });
}

std::optional<QString> attachmentPath(Database& db, std::int64_t id) {
  DbRows rows = queryRows(db, "SELECT path FROM attachments WHERE id = ?1", {id});
  if (rows.empty()) return std::nullopt;
  return qs(rows[0].text(0));
}

std::optional<QString> crashLogPath(Database& db, std::int64_t id) {
  DbRows rows = queryRows(db, "SELECT log_path FROM crashes WHERE id = ?1", {id});
  if (rows.empty() || rows[0].text(0).empty()) return std::nullopt;
  return qs(rows[0].text(0));
}

}  // namespace brelvo::service
