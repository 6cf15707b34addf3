#include "Records.h"

#include "Database.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QStringList>
#include <QUrl>


namespace brelvo::service {
namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }
QJsonValue nullableId(const DbRow& r, std::size_t c) {
  return r.isNull(c) ? QJsonValue() : QJsonValue(static_cast<qint64>(r.integer(c)));
}
qint64 num(const DbRow& r, std::size_t c) { return static_cast<qint64>(r.integer(c)); }


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
  const DbRows issueRows = rowsOf(kIssues);
  std::map<std::int64_t, DbRows> attachmentsOf = childrenOf(
      db, "SELECT issue_id, id, position, name, path, size, is_png FROM attachments WHERE issue_id IN ({ids})"
          " ORDER BY issue_id, position",
      issueRows, 0);
  for (const DbRow& r : issueRows) {
    QJsonArray attachments;
    for (const DbRow& a : attachmentsOf[r.integer(0)]) {
      attachments.append(QJsonObject{{"id", num(a, 1)},       {"position", num(a, 2)}, {"name", qs(a.text(3))},
                                     {"path", qs(a.text(4))}, {"size", num(a, 5)},     {"png", a.integer(6) != 0}});
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
  const DbRows batchRows = rowsOf(kLogBatches);
  std::map<std::int64_t, DbRows> entriesOf = childrenOf(
      db, "SELECT batch_id, log_level, message, created_at FROM log_entries WHERE batch_id IN ({ids}) ORDER BY batch_id, id",
      batchRows, 0);
  for (const DbRow& r : batchRows) {
    QJsonArray entries;
    for (const DbRow& e : entriesOf[r.integer(0)]) {
      entries.append(QJsonObject{{"log_level", qs(e.text(1))}, {"message", qs(e.text(2))}, {"created_at", qs(e.text(3))}});
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
  const DbRows requirementRows = rowsOf(kRequirements);
  std::map<std::int64_t, DbRows> statusesOf = testerStatuses(db, requirementRows, 6);
  for (const DbRow& r : requirementRows) {
    QJsonArray testers;
    for (const DbRow& t : statusesOf[r.integer(6)])
      testers.append(QJsonObject{{"tester_id", num(t, 1)}, {"tester_uid", qs(t.text(2))}, {"status", num(t, 4)}});
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
                    dateText(s.value(QLatin1String("created_at")).toInteger()));
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
