#include "Dashboard.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QUrl>
#include <string>
#include <vector>

#include "Database.h"
#include "Protocol.h"

namespace brelvo::service {
namespace {

// Everything a device or a seed wrote goes through here before it reaches the page.
QString html(const QString& s) { return s.toHtmlEscaped(); }
QString html(const std::string& s) { return QString::fromStdString(s).toHtmlEscaped(); }

// A tester as people know them, from the `testers t` of a query.
#define TESTER_NAME "COALESCE(NULLIF(t.full_name, ''), t.uid, '')"
// A build as "bundle version", from the `apps a` and `revisions v` of a query.
#define BUILD_NAME "COALESCE(a.bundle_id || ' ' || v.bundle_version, '')"
// Session, build and tester of a record whose session is `x.session_id`.
#define BY_SESSION(x)                                         \
  " LEFT JOIN sessions s ON s.id = " x                        \
  ".session_id LEFT JOIN revisions v ON v.id = s.revision_id" \
  " LEFT JOIN apps a ON a.id = v.app_id LEFT JOIN testers t ON t.id = s.tester_id"

constexpr Listing kIssuesShown{"issues",
                               "i.id, i.received_at, COALESCE(NULLIF(it.name, ''), i.tracker),"
                               " COALESCE(NULLIF(ip.name, ''), i.priority), i.subject, i.description, i.rid, " TESTER_NAME
                               ", COALESCE(s.udid, ''), " BUILD_NAME ", COALESCE(q.code, ''), COALESCE(q.title, '')",
                               "issues i" BY_SESSION("i")
                               " LEFT JOIN issue_types it ON it.project_id = s.project_id AND CAST(it.type_id AS TEXT) = i.tracker"
                               " LEFT JOIN issue_priorities ip ON ip.project_id = s.project_id"
                               " AND CAST(ip.priority_id AS TEXT) = i.priority"
                               " LEFT JOIN requirements q ON q.revision_id = s.revision_id AND CAST(q.rid AS TEXT) = i.rid",
                               "i.id", true};
// The page holds the whole stack of a crash up to this size; beyond, its file has the rest.
constexpr int kStackShown = 256 * 1024;
constexpr Listing kCrashesShown{
    "crashes",
    "c.id, c.received_at, substr(c.log, 1, 262144), length(c.log), c.device_env, c.app_id, " BUILD_NAME ", " TESTER_NAME
    ", COALESCE(s.udid, c.udid), c.log_path <> ''",
    "crashes c" BY_SESSION("c"), "c.id", true};
constexpr Listing kLogBatchesShown{"log_batches",
                                   "b.id, b.received_at, b.format, b.entry_count, " BUILD_NAME ", " TESTER_NAME
                                   ", COALESCE(s.udid, '')",
                                   "log_batches b" BY_SESSION("b"), "b.id", true};
constexpr Listing kStateEventsShown{"state_events",
                                    "e.id, e.received_at, e.session_id, e.state_action, e.state_action_at, " BUILD_NAME
                                    ", " TESTER_NAME,
                                    "state_events e" BY_SESSION("e"), "e.id", true};
constexpr Listing kSessionsShown{"sessions",
                                 "s.id, s.created_at, " BUILD_NAME ", " TESTER_NAME ", s.udid, s.locale, s.a_v",
                                 "sessions s JOIN revisions v ON v.id = s.revision_id JOIN apps a ON a.id = v.app_id"
                                 " LEFT JOIN testers t ON t.id = s.tester_id",
                                 "s.id", true};
constexpr Listing kRequirementsShown{
    "requirements", "q.id, a.bundle_id || ' ' || v.bundle_version, q.rid, q.code, q.title, q.status",
    "requirements q JOIN revisions v ON v.id = q.revision_id JOIN apps a ON a.id = v.app_id",
    "q.revision_id, q.number, q.rid"};
#undef BY_SESSION

// Log entries shown per batch; the whole batch is in /admin/records.
constexpr int kEntriesShown = 100;
// Results shown in one requirement's history.
constexpr int kHistoryShown = 50;

// The conditions a filter puts on sessions, for a query's `alias`; empty without a filter.
std::string sessionCondition(const DashboardRequest& r, const std::string& alias) {
  std::vector<std::string> parts;
  if (r.build) parts.push_back(alias + ".revision_id = " + std::to_string(r.build));
  if (r.tester) parts.push_back(alias + ".tester_id = " + std::to_string(r.tester));
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : " AND ") + p;
  return out;
}

// Records whose session passes the filter (records without one pass only when there is none).
std::string bySession(const DashboardRequest& r, const std::string& column) {
  const std::string condition = sessionCondition(r, "f");
  return condition.empty() ? std::string() : column + " IN (SELECT f.id FROM sessions f WHERE " + condition + ")";
}

// A crash sent before its device signed in names its build by app_id alone.
// A build's application identifier as a device sends it, without and with
// Base64's padding: a crash sent before sign-in names its build only so.
std::pair<std::string, std::string> appIds(const std::string& bundle, const std::string& version) {
  const std::string padded = QByteArray::fromStdString("1_" + bundle + "__" + version + "__").toBase64().toStdString();
  std::string bare = padded;
  while (!bare.empty() && bare.back() == '=') bare.pop_back();
  return {bare, padded};
}

std::string crashCondition(Database& db, const DashboardRequest& r) {
  std::string condition = bySession(r, "c.session_id");
  if (condition.empty() || r.tester) return condition;
  DbRows build = queryRows(
      db, "SELECT a.bundle_id, v.bundle_version FROM revisions v JOIN apps a ON a.id = v.app_id WHERE v.id = ?1",
      {r.build});
  if (build.empty()) return condition;
  const auto [bare, padded] = appIds(build[0].text(0), build[0].text(1));
  const auto quoted = [](const std::string& s) { return "'" + s + "'"; };  // Base64 holds no quote
  return "(" + condition + ") OR (c.session_id IS NULL AND c.app_id IN (" + quoted(bare) + ", " + quoted(padded) + "))";
}

QString statusBadge(std::int64_t status, const QString& label) {
  return QStringLiteral("<span class=\"badge st-%1\">%2</span>")
      .arg(status >= 0 && status <= 3 ? status : 9)
      .arg(label);
}

QString levelClass(const QString& level) {
  static const QStringList known{QStringLiteral("error"), QStringLiteral("warning"), QStringLiteral("info"),
                                 QStringLiteral("debug")};
  const QString l = level.toLower();
  return known.contains(l) ? l : QStringLiteral("other");
}

// A log entry's time: whole seconds or milliseconds since 1970, else the text as it came.
QString entryTime(const std::string& text) {
  bool ok = false;
  qint64 t = QString::fromStdString(text).toLongLong(&ok);
  if (!ok || t <= 0) return html(text);
  if (t > 100000000000LL) t /= 1000;
  return dateText(t);
}

// The first line of a crash log that says something: the signal or exception.
QString crashReason(const QString& log) {
  for (const QString& line : log.split(QLatin1Char('\n'))) {
    if (!line.trimmed().isEmpty()) return line.trimmed().left(300);
  }
  return QStringLiteral("(empty log)");
}

QString crashBuild(const DbRow& r) {
  if (!r.text(6).empty()) return html(r.text(6));
  QString bundle, version;
  if (Protocol::decodeAppId(QString::fromStdString(r.text(5)), &bundle, &version))
    return html(bundle + QLatin1Char(' ') + version);
  return QStringLiteral("unknown");
}

QString emptyRow(int columns, const QString& text) {
  return QStringLiteral("<tr><td colspan=\"%1\" class=\"empty\">%2</td></tr>").arg(columns).arg(text);
}

// A table of `columns` columns under its headings, or a line saying it is empty.
QString table(const QString& headings, const QString& rows, int columns, const QString& empty) {
  return QStringLiteral("<table><thead><tr>%1</tr></thead><tbody>%2</tbody></table>")
      .arg(headings, rows.isEmpty() ? emptyRow(columns, empty) : rows);
}

QString section(const char* id, const char* title, qsizetype count, const QString& body) {
  return QStringLiteral("<section class=\"card\" id=\"%1\"><h2>%2 <span class=\"count\">%3</span></h2>%4</section>")
      .arg(QLatin1String(id), QLatin1String(title))
      .arg(count)
      .arg(body);
}

// A link to this page with other query values, for filters and paging.
QString pageLink(const DashboardRequest& r, const QString& cursor) {
  QStringList query;
  if (!cursor.isEmpty()) {
    query << QStringLiteral("limit=%1").arg(r.page.limit)
          << QStringLiteral("cursor=") + QString::fromLatin1(QUrl::toPercentEncoding(cursor));
  }
  if (r.build) query << QStringLiteral("build=%1").arg(r.build);
  if (r.tester) query << QStringLiteral("tester=%1").arg(r.tester);
  return QStringLiteral("/?") + query.join(QStringLiteral("&amp;"));
}

struct Build {
  std::int64_t id;
  QString name;
};
struct Tester {
  std::int64_t id;
  QString name;
};

QString projectsSection(Database& db, std::vector<Build>& builds) {
  QString body;
  const DbRows rows = queryRows(
      db,
      "SELECT v.id, p.title, p.api_key, a.bundle_id || ' ' || v.bundle_version, v.title, v.build_number, v.disabled,"
      " v.update_available,"
      " (SELECT COUNT(*) FROM sessions s WHERE s.revision_id = v.id),"
      " (SELECT COUNT(*) FROM issues i JOIN sessions s ON s.id = i.session_id WHERE s.revision_id = v.id),"
      " (SELECT COUNT(*) FROM crashes c JOIN sessions s ON s.id = c.session_id WHERE s.revision_id = v.id),"
      " a.bundle_id, v.bundle_version"
      " FROM revisions v JOIN apps a ON a.id = v.app_id JOIN projects p ON p.id = a.project_id"
      " ORDER BY p.id, a.bundle_id, v.id");
  for (const DbRow& r : rows) {
    builds.push_back({r.integer(0), QString::fromStdString(r.text(3))});
    const QString state = r.integer(6)   ? QStringLiteral("<span class=\"badge st-3\">disabled</span>")
                          : r.integer(7) ? QStringLiteral("<span class=\"badge st-1\">update offered</span>")
                                         : QStringLiteral("<span class=\"badge st-2\">open</span>");
    body += QStringLiteral(
                "<tr><td>%1</td><td><code>%2</code></td><td><a href=\"/?build=%3\">%4</a></td><td>%5</td>"
                "<td>%6</td><td>%7</td><td class=\"num\">%8</td><td class=\"num\">%9</td>")
                .arg(html(r.text(1)), html(r.text(2)))
                .arg(r.integer(0))
                .arg(html(r.text(3)), html(r.text(4)), html(r.text(5)), state)
                .arg(r.integer(8))
                .arg(r.integer(9));
    const auto [bare, padded] = appIds(r.text(11), r.text(12));
    const DbRows beforeSignIn =
        queryRows(db, "SELECT COUNT(*) FROM crashes WHERE session_id IS NULL AND app_id IN (?1, ?2)", {bare, padded});
    body += QStringLiteral("<td class=\"num\">%1</td></tr>")
                .arg(r.integer(10) + (beforeSignIn.empty() ? 0 : beforeSignIn[0].integer(0)));
  }
  body = table(
      QStringLiteral("<th>Project</th><th>API key</th><th>Build</th><th>Title</th><th>Build no.</th><th>State</th>"
                     "<th class=\"num\">Sessions</th><th class=\"num\">Issues</th><th class=\"num\">Crashes</th>"),
      body, 9, QStringLiteral("No project yet: start the service with --seed."));
  return section("builds", "Projects and builds", qsizetype(rows.size()), body);
}

QString issuesSection(Database& db, const DbRows& rows) {
  QString body;
  std::map<std::int64_t, DbRows> attachmentsOf = childrenOf(
      db, "SELECT issue_id, id, name FROM attachments WHERE issue_id IN ({ids}) ORDER BY issue_id, position", rows, 0);
  for (const DbRow& r : rows) {
    QString shots;
    for (const DbRow& a : attachmentsOf[r.integer(0)]) {
      shots += QStringLiteral(
                   "<a class=\"shot\" href=\"/attachments/%1\" target=\"_blank\" title=\"%2\">"
                   "<img src=\"/attachments/%1\" alt=\"%2\" loading=\"lazy\"></a>")
                   .arg(a.integer(1))
                   .arg(html(a.text(2)));
    }
    const QString requirement = r.text(10).empty()
                                    ? (r.text(6).empty() || r.text(6) == "0" ? QStringLiteral("—") : html(r.text(6)))
                                    : html(r.text(10)) + QStringLiteral(" ") + html(r.text(11));
    const QString description = html(readable(r.text(5)));
    body += QStringLiteral(
                "<article class=\"issue\"><div class=\"issue-head\"><span class=\"id\">#%1</span>"
                "<span class=\"badge type\">%2</span><span class=\"badge sev sev-%3\">%4</span>"
                "<h3 class=\"summary\">%5</h3></div>")
                .arg(r.integer(0))
                .arg(html(r.text(2)), html(QString::fromStdString(r.text(3)).toLower()).remove(QLatin1Char(' ')),
                     html(r.text(3)), html(readable(r.text(4))));
    body += QStringLiteral(
                "<dl class=\"meta\"><dt>Received</dt><dd>%1</dd><dt>Tester</dt><dd>%2</dd><dt>Device</dt>"
                "<dd>%3</dd><dt>Build</dt><dd>%4</dd><dt>Requirement</dt><dd>%5</dd></dl>")
                .arg(dateText(r.integer(1)), html(r.text(7)), html(r.text(8)), html(r.text(9)), requirement);
    if (!description.isEmpty()) body += QStringLiteral("<p class=\"description\">%1</p>").arg(description);
    if (!shots.isEmpty()) body += QStringLiteral("<div class=\"shots\">%1</div>").arg(shots);
    body += QStringLiteral("</article>");
  }
  if (rows.empty()) body = QStringLiteral("<p class=\"empty\">No issues.</p>");
  return section("issues", "Issues", qsizetype(rows.size()), body);
}

QString crashesSection(const DbRows& rows) {
  QString body;
  for (const DbRow& r : rows) {
    const QString log = QString::fromStdString(r.text(2));
    const QString env =
        QString::fromUtf8(QJsonDocument(QJsonDocument::fromJson(QByteArray::fromStdString(r.text(4))).object())
                              .toJson(QJsonDocument::Indented));
    QString more;
    if (r.integer(3) > kStackShown && r.integer(9))
      more = QStringLiteral("<a href=\"/crashes/%1.txt\">the whole log</a>").arg(r.integer(0));
    body +=
        QStringLiteral(
            "<tr><td class=\"id\">%1</td><td>%2</td><td class=\"reason\">%3</td><td>%4</td><td>%5</td><td>%6</td></tr>")
            .arg(r.integer(0))
            .arg(dateText(r.integer(1)), html(crashReason(log)), crashBuild(r), html(r.text(7)), html(r.text(8)));
    body += QStringLiteral(
                "<tr class=\"detail\"><td></td><td colspan=\"5\">"
                "<details id=\"crash-%1-stack\"><summary>Stack (%2 lines)</summary><pre>%3</pre>%4</details>"
                "<details id=\"crash-%1-device\"><summary>Device</summary><pre>%5</pre></details></td></tr>")
                .arg(r.integer(0))
                .arg(log.count(QLatin1Char('\n')) + (log.endsWith(QLatin1Char('\n')) ? 0 : 1))
                .arg(html(log), more, html(env));
  }
  body = table(QStringLiteral("<th>#</th><th>Received</th><th>Reason</th><th>Build</th><th>Tester</th>"
                              "<th>Device</th>"),
               body, 6, QStringLiteral("No crashes."));
  return section("crashes", "Crashes", qsizetype(rows.size()), body);
}

QString logsSection(Database& db, const DbRows& rows) {
  QString body;
  std::map<std::int64_t, DbRows> entriesOf =
      childrenOf(db,
                 "SELECT batch_id, log_level, message, created_at FROM"
                 " (SELECT batch_id, log_level, message, created_at, id,"
                 " ROW_NUMBER() OVER (PARTITION BY batch_id ORDER BY id) AS n FROM log_entries WHERE batch_id IN ({ids})) e"
                 " WHERE n <= " +
                     std::to_string(kEntriesShown) + " ORDER BY batch_id, id",
                 rows, 0);
  for (const DbRow& r : rows) {
    QString entries;
    for (const DbRow& e : entriesOf[r.integer(0)]) {
      const QString level = QString::fromStdString(e.text(1));
      entries += QStringLiteral(
                     "<tr><td class=\"time\">%1</td><td><span class=\"level lvl-%2\">%3</span></td><td "
                     "class=\"msg\">%4</td></tr>")
                     .arg(entryTime(e.text(3)), levelClass(level), html(level.isEmpty() ? QStringLiteral("—") : level),
                          html(e.text(2)));
    }
    if (r.integer(3) > kEntriesShown)
      entries += emptyRow(3, QStringLiteral("%1 more entries in /admin/records").arg(r.integer(3) - kEntriesShown));
    const QString who = r.text(5).empty() && r.text(6).empty()
                            ? QStringLiteral("no session")
                            : html(r.text(5)) + QStringLiteral(" · ") + html(r.text(6));
    body += QStringLiteral(
                "<div class=\"batch\"><div class=\"batch-head\"><span class=\"id\">#%1</span> %2 · %3 · %4 · "
                "%5 entries (%6)</div>")
                .arg(r.integer(0))
                .arg(dateText(r.integer(1)), r.text(4).empty() ? QStringLiteral("—") : html(r.text(4)), who)
                .arg(r.integer(3))
                .arg(html(r.text(2)));
    if (!entries.isEmpty()) body += QStringLiteral("<table class=\"entries\"><tbody>%1</tbody></table>").arg(entries);
    body += QStringLiteral("</div>");
  }
  if (rows.empty()) body = QStringLiteral("<p class=\"empty\">No log batches.</p>");
  return section("logs", "Log batches", qsizetype(rows.size()), body);
}

QString requirementsSection(Database& db, const DbRows& rows, const DashboardRequest& request) {
  QString body;
  std::map<std::int64_t, DbRows> statusesOf = testerStatuses(db, rows, 0);
  // Each requirement's newest results, the reader's filter applied.
  std::map<std::int64_t, DbRows> resultsOf =
      childrenOf(db,
                 "SELECT requirement_id, received_at, who, previous_status, status FROM"
                 " (SELECT r.requirement_id, r.id, r.received_at, " TESTER_NAME " AS who, r.previous_status, r.status,"
                 " ROW_NUMBER() OVER (PARTITION BY r.requirement_id ORDER BY r.id DESC) AS n FROM requirement_results r"
                 " LEFT JOIN sessions s ON s.id = r.session_id LEFT JOIN testers t ON t.id = s.tester_id"
                 " WHERE r.requirement_id IN ({ids}) AND (?1 = 0 OR s.tester_id = ?1)) h"
                 " WHERE n <= " +
                     std::to_string(kHistoryShown) + " ORDER BY requirement_id, id DESC",
                 rows, 0, {request.tester});
  for (const DbRow& r : rows) {
    QStringList byTester;
    for (const DbRow& t : statusesOf[r.integer(0)]) {
      if (request.tester && t.integer(1) != request.tester) continue;
      const std::string who = !t.text(3).empty() ? t.text(3) : !t.text(2).empty() ? t.text(2) : "no tester";
      byTester << statusBadge(t.integer(4), html(who) + QStringLiteral(": ") + statusName(t.integer(4)));
    }
    const DbRows& results = resultsOf[r.integer(0)];
    QString history = QStringLiteral("—");
    if (!results.empty()) {
      history =
          QStringLiteral("<details id=\"req-%1-history\"><summary>%2</summary><ol class=\"history\">")
              .arg(r.integer(0))
              .arg(results.size() == 1 ? QStringLiteral("1 result") : QStringLiteral("%1 results").arg(results.size()));
      for (const DbRow& h : results) {
        history +=
            QStringLiteral("<li><span class=\"time\">%1</span> %2: %3 → %4</li>")
                .arg(dateText(h.integer(1)), html(h.text(2)), statusName(h.integer(3)), statusName(h.integer(4)));
      }
      history += QStringLiteral("</ol></details>");
    }
    body += QStringLiteral(
                "<tr><td>%1</td><td><code>%2</code></td><td>%3 <span class=\"muted\">rid %4</span></td><td>%5</td>"
                "<td class=\"badges\">%6</td><td>%7</td></tr>")
                .arg(html(r.text(1)), html(r.text(3)), html(r.text(4)))
                .arg(r.integer(2))
                .arg(statusBadge(r.integer(5), statusName(r.integer(5))),
                     byTester.isEmpty() ? QStringLiteral("<span class=\"muted\">no results</span>")
                                        : byTester.join(QString()),
                     history);
  }
  body = table(QStringLiteral("<th>Build</th><th>Code</th><th>Title</th><th>Starts as</th>"
                              "<th>By tester</th><th>History</th>"),
               body, 6, QStringLiteral("No requirements."));
  return section("requirements", "Requirements", qsizetype(rows.size()), body);
}

QString sessionsSection(const DbRows& rows) {
  QString body;
  for (const DbRow& r : rows) {
    body += QStringLiteral(
                "<tr><td class=\"id\">%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td><td>%7</td></tr>")
                .arg(r.integer(0))
                .arg(dateText(r.integer(1)), html(r.text(2)), html(r.text(3)), html(r.text(4)), html(r.text(5)),
                     html(r.text(6)));
  }
  body = table(QStringLiteral("<th>#</th><th>Started</th><th>Build</th><th>Tester</th><th>Device</th>"
                              "<th>Locale</th><th>Library</th>"),
               body, 7, QStringLiteral("No sessions."));
  return section("sessions", "Sessions", qsizetype(rows.size()), body);
}

QString statesSection(const DbRows& rows) {
  QString body;
  for (const DbRow& r : rows) {
    bool ok = false;
    const qint64 at = QString::fromStdString(r.text(4)).toLongLong(&ok);
    body += QStringLiteral(
                "<tr><td class=\"id\">%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td>"
                "<td><span class=\"badge state-%6\">%6</span></td><td>%7</td></tr>")
                .arg(r.integer(0))
                .arg(dateText(r.integer(1)))
                .arg(r.integer(2))
                .arg(html(r.text(5)), html(r.text(6)), html(r.text(3)), ok ? dateText(at) : html(r.text(4)));
  }
  body = table(QStringLiteral("<th>#</th><th>Received</th><th>Session</th><th>Build</th><th>Tester</th>"
                              "<th>Action</th><th>At</th>"),
               body, 7, QStringLiteral("No application states."));
  return section("states", "Application states", qsizetype(rows.size()), body);
}

QString options(const QString& label, std::int64_t chosen, const std::vector<std::pair<std::int64_t, QString>>& items) {
  QString out = QStringLiteral("<option value=\"\">%1</option>").arg(label);
  for (const auto& [id, name] : items) {
    out += QStringLiteral("<option value=\"%1\"%2>%3</option>")
               .arg(id)
               .arg(id == chosen ? QStringLiteral(" selected") : QString(), html(name));
  }
  return out;
}

// Forms for the QA lead: they post to /admin/... and say what happened beside the button.
QString adminSection(Database& db, const std::vector<std::pair<std::int64_t, QString>>& builds,
                     const std::vector<std::pair<std::int64_t, QString>>& testers) {
  QString projects;
  for (const DbRow& p : queryRows(db, "SELECT api_key, title FROM projects ORDER BY id"))
    projects += QStringLiteral("<option value=\"%1\">%2</option>").arg(html(p.text(0)), html(p.text(1)));
  const QString buildOptions = options(QStringLiteral("Choose a build"), 0, builds);
  QString out = QStringLiteral("<div class=\"below\"><section class=\"card\" id=\"admin\"><h2>Administration</h2><div class=\"forms\">");
  out += QStringLiteral(
             "<form class=\"admin\" method=\"post\" action=\"/admin/apps\"><h3>Add a build</h3>"
             "<label>Project<select name=\"project_key\">%1</select></label>"
             "<label>Application id<input name=\"app_id\" required placeholder=\"org.example.app\"></label>"
             "<label>Version<input name=\"version\" required placeholder=\"1.0\"></label>"
             "<button>Add build</button><output class=\"result\"></output></form>")
             .arg(projects);
  out += QStringLiteral(
             "<form class=\"admin\" method=\"post\" action=\"/admin/requirements\"><h3>Add or change a requirement</h3>"
             "<label>Build<select name=\"build\" required>%1</select></label>"
             "<label>rid<input name=\"rid\" inputmode=\"numeric\" placeholder=\"empty: a new one\"></label>"
             "<label>Code<input name=\"code\"></label><label>Title<input name=\"title\"></label>"
             "<label>Description<textarea name=\"description\" rows=\"2\"></textarea></label>"
             "<label>Expected result<textarea name=\"exp_result\" rows=\"2\"></textarea></label>"
             "<p class=\"hint\">With the rid of an existing requirement, only the fields you fill in change.</p>"
             "<button>Save requirement</button><output class=\"result\"></output></form>")
             .arg(buildOptions);
  out += QStringLiteral(
             "<form class=\"admin\" method=\"post\" action=\"/admin/reset-statuses\"><h3>Reset statuses</h3>"
             "<label>Build<select name=\"build\" required>%1</select></label>"
             "<label>rid<input name=\"rid\" inputmode=\"numeric\" placeholder=\"empty: every requirement\"></label>"
             "<label>Tester<select name=\"tester\">%2</select></label>"
             "<p class=\"hint\">Testers see each requirement's starting status again; the history stays.</p>"
             "<button>Reset</button><output class=\"result\"></output></form>")
             .arg(buildOptions, options(QStringLiteral("Every tester"), 0, testers));
  out += QStringLiteral("</div></section></div>");
  return out;
}

QByteArray dashboardPage(Database& db, const DashboardRequest& request, const Cursor& after) {
  Cursor next;
  const PageRequest& page = request.page;
  const auto rowsOf = [&](const Listing& l, const std::string& where) {
    return pageOf(db, l, page, after, next, where);
  };

  std::vector<Build> builds;
  const QString projects = projectsSection(db, builds);
  std::vector<std::pair<std::int64_t, QString>> buildItems, testerItems;
  for (const Build& b : builds) buildItems.emplace_back(b.id, b.name);
  for (const DbRow& t : queryRows(db, "SELECT t.id, " TESTER_NAME " FROM testers t ORDER BY t.id"))
    testerItems.emplace_back(t.integer(0), QString::fromStdString(t.text(1)));

  const DbRows issues = rowsOf(kIssuesShown, bySession(request, "i.session_id"));
  const DbRows crashes = rowsOf(kCrashesShown, crashCondition(db, request));
  const DbRows batches = rowsOf(kLogBatchesShown, bySession(request, "b.session_id"));
  const DbRows requirements =
      rowsOf(kRequirementsShown, request.build ? "q.revision_id = " + std::to_string(request.build) : "");
  const DbRows sessions = rowsOf(kSessionsShown, sessionCondition(request, "s"));
  const DbRows states = rowsOf(kStateEventsShown, bySession(request, "e.session_id"));

  QString out = QStringLiteral(
      "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>Brelvo service</title>"
      "<link rel=\"stylesheet\" href=\"/dashboard.css\"><script src=\"/dashboard.js\" defer></script></head><body>"
      "<header class=\"top\"><div class=\"brand\"><span class=\"logo\">B</span>Brelvo <span "
      "class=\"muted\">service</span></div>"
      "<form class=\"filters\" method=\"get\" action=\"/\">");
  out += QStringLiteral("<label>Build <select name=\"build\">%1</select></label>")
             .arg(options(QStringLiteral("All builds"), request.build, buildItems));
  out += QStringLiteral("<label>Tester <select name=\"tester\">%1</select></label>")
             .arg(options(QStringLiteral("All testers"), request.tester, testerItems));
  out +=
      QStringLiteral("<button>Filter</button>%1</form><span id=\"live\" class=\"live\">Live</span></header>")
          .arg(request.build || request.tester ? QStringLiteral("<a class=\"clear\" href=\"/\">Clear</a>") : QString());

  out += QStringLiteral(
      "<nav class=\"toc\"><a href=\"#builds\">Builds</a><a href=\"#issues\">Issues</a>"
      "<a href=\"#crashes\">Crashes</a><a href=\"#logs\">Logs</a><a href=\"#requirements\">Requirements</a>"
      "<a href=\"#sessions\">Sessions</a><a href=\"#states\">States</a><a href=\"#admin\">Administration</a></nav>");
  out += QStringLiteral("<main id=\"records\" data-stamp=\"%1\">").arg(html(dashboardStamp(db)));
  out += projects;
  out += issuesSection(db, issues);
  out += crashesSection(crashes);
  out += logsSection(db, batches);
  out += requirementsSection(db, requirements, request);
  out += sessionsSection(sessions);
  out += statesSection(states);
  out += QStringLiteral("<p class=\"paging\">");
  if (!page.cursor.isEmpty()) out += QStringLiteral("<a href=\"%1\">Newest records</a>").arg(pageLink(request, {}));
  if (!next.empty())
    out += QStringLiteral("<a href=\"%1\">Older records</a>").arg(pageLink(request, formatCursor(next)));
  out += QStringLiteral("</p></main>");
  out += adminSection(db, buildItems, testerItems);
  out += QStringLiteral("</body></html>\n");
  return out.toUtf8();
}

}  // namespace

std::optional<QByteArray> dashboardHtml(Database& db, const DashboardRequest& request) {
  const std::optional<Cursor> after = parseCursor(
      request.page.cursor,
      {&kIssuesShown, &kCrashesShown, &kLogBatchesShown, &kStateEventsShown, &kSessionsShown, &kRequirementsShown});
  if (!after) return std::nullopt;
  return readSnapshot(db, [&](Database& reader) { return dashboardPage(reader, request, *after); });
}

QString dashboardStamp(Database& db) {
  DbRows rows = queryRows(db,
                          "SELECT (SELECT COALESCE(MAX(id), 0) FROM requests), (SELECT COUNT(*) FROM revisions),"
                          " (SELECT COUNT(*) FROM requirements), (SELECT COUNT(*) FROM requirement_statuses),"
                          " (SELECT COALESCE(SUM(status), 0) FROM requirement_statuses)");
  if (rows.empty()) return {};
  QStringList parts;
  for (std::size_t c = 0; c < rows[0].values.size(); ++c) parts << QString::number(rows[0].integer(c));
  return parts.join(QLatin1Char('.'));
}

}  // namespace brelvo::service
