#include "Protocol.h"

#include "Database.h"
#include "FileStore.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cstdio>
#include <stdexcept>
#include <utility>

namespace brelvo::service {
namespace {

// Raised inside a handler to answer with an error envelope; caught in handle().
struct Reject {
  Reject(int code, QString message, bool refresh = false, QString url = {}, QString title = {})
      : code(code), message(std::move(message)), refresh(refresh), url(std::move(url)), title(std::move(title)) {}
  int code;
  QString message;
  bool refresh;
  QString url;
  QString title;
};

std::int64_t now() { return QDateTime::currentSecsSinceEpoch(); }

std::string str(const QString& s) { return s.toStdString(); }
QString qs(const std::string& s) { return QString::fromStdString(s); }

// Reads the members of a request body, rejecting wrong types with code 1.
class Body {
 public:
  explicit Body(QJsonObject o) : o_(std::move(o)) {}

  bool has(const char* key) const { return o_.contains(QLatin1String(key)); }

  QString text(const char* key) const {
    QJsonValue v = o_.value(QLatin1String(key));
    if (v.isUndefined()) throw Reject{kBadRequest, QStringLiteral("Member \"%1\" is missing").arg(QLatin1String(key))};
    if (!v.isString())
      throw Reject{kBadRequest, QStringLiteral("Member \"%1\" must be a string").arg(QLatin1String(key))};
    return v.toString();
  }

  QString optionalText(const char* key) const { return has(key) ? text(key) : QString(); }

  // The library sends numbers as quoted decimal text; plain numbers are fine too.
  std::int64_t integer(const char* key, std::int64_t low, std::int64_t high) const {
    QJsonValue v = o_.value(QLatin1String(key));
    if (v.isUndefined()) throw Reject{kBadRequest, QStringLiteral("Member \"%1\" is missing").arg(QLatin1String(key))};
    bool ok = false;
    std::int64_t n = 0;
    if (v.isString()) {
      n = v.toString().trimmed().toLongLong(&ok);
    } else if (v.isDouble()) {
      double d = v.toDouble();
      ok = d >= -9e15 && d <= 9e15 && d == static_cast<double>(static_cast<std::int64_t>(d));
      if (ok) n = static_cast<std::int64_t>(d);
    }
    if (!ok || n < low || n > high) {
      throw Reject{kBadRequest,
                   QStringLiteral("Member \"%1\" must be an integer from %2 to %3").arg(QLatin1String(key)).arg(low).arg(high)};
    }
    return n;
  }

  QJsonValue value(const char* key) const { return o_.value(QLatin1String(key)); }

 private:
  QJsonObject o_;
};

// Text or number, as text (issue "tracker" and "priority" hold ids).
QString textOrNumber(const QJsonObject& o, const char* key) {
  QJsonValue v = o.value(QLatin1String(key));
  if (v.isString()) return v.toString();
  if (v.isDouble()) return QString::number(v.toDouble(), 'g', 17);
  if (v.isUndefined()) throw Reject{kBadRequest, QStringLiteral("Member \"issue.%1\" is missing").arg(QLatin1String(key))};
  throw Reject{kBadRequest, QStringLiteral("Member \"issue.%1\" must be a string").arg(QLatin1String(key))};
}

struct Session {
  std::int64_t id = 0;
  std::int64_t projectId = 0;
  std::int64_t revisionId = 0;
  std::int64_t testerId = 0;
};

struct Revision {
  std::int64_t projectId = 0;
  std::int64_t appId = 0;
  std::int64_t revisionId = 0;
  bool disabled = false;
};

std::optional<QByteArray> decodeBase64Strict(const QByteArray& text) {
  auto result = QByteArray::fromBase64Encoding(text, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
  if (!result) return std::nullopt;
  return *result;
}

QByteArray envelope(QJsonObject o) {
  o.insert(QStringLiteral("ts"), static_cast<qint64>(now()));
  o.insert(QStringLiteral("api_version"), QStringLiteral("1.0"));
  return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray success(const QJsonValue& payload) {
  return envelope(QJsonObject{{"response_code", 0}, {"payload", payload}});
}

class Handler {
 public:
  Handler(Database& db, FileStore& files, const QString& baseUrl, const QString& deliveryId, Answer& answer)
      : db_(db), files_(files), baseUrl_(baseUrl), deliveryId_(deliveryId), answer_(answer) {}

  QByteArray run(const QString& method, const QByteArray& bytes) {
    if (method == QLatin1String("post_logs") && Protocol::isEmptyArrayPropertyList(bytes)) return emptyPropertyListBatch();
    QJsonParseError error{};
    QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (!doc.isObject()) {
      throw Reject{kBadRequest, doc.isNull() ? QStringLiteral("The request body is not JSON: %1").arg(error.errorString())
                                             : QStringLiteral("The request body must be a JSON object")};
    }
    Body body(doc.object());
    if (method == QLatin1String("auth")) return auth(body);
    if (method == QLatin1String("profile")) return profile(body);
    if (method == QLatin1String("requirements")) return requirements(body);
    if (method == QLatin1String("requirement")) return requirement(body);
    if (method == QLatin1String("requirement_result")) return requirementResult(body);
    if (method == QLatin1String("post_issue")) return postIssue(body);
    if (method == QLatin1String("post_crash")) return postCrash(body);
    if (method == QLatin1String("post_logs")) return postLogs(body);
    if (method == QLatin1String("track_state")) return trackState(body);
    if (method == QLatin1String("check_for_update")) return checkForUpdate(body);
    throw Reject{kUnknownMethod, QStringLiteral("Unknown method \"%1\"").arg(method)};
  }

 private:
  DbRows must(const std::string& sql, std::initializer_list<DbValue> params) {
    auto rows = db_.query(sql, params);
    if (!rows) {
      // An outage has its own line when it begins and ends, not one per request.
      if (db_.reachable()) std::fprintf(stderr, "brelvo-service: database error: %s\n", db_.lastError().c_str());
      throw Reject{kInternal, QStringLiteral("The service could not store the request")};
    }
    return std::move(*rows);
  }

  // A report is stored with "ON CONFLICT (delivery_id) DO NOTHING RETURNING
  // id": no row back means a report of this request's delivery identifier is
  // stored already (the library resends one whose answer it never got), and
  // the request is answered as the first one was. The unique index decides,
  // so two copies in flight, even on two instances, store one row.
  static constexpr const char* kOncePerDelivery = " ON CONFLICT (delivery_id) DO NOTHING RETURNING id";
  DbValue deliveryId() const { return deliveryId_.isEmpty() ? DbValue(std::monostate{}) : DbValue(str(deliveryId_)); }

  QString expand(const std::string& text) const {
    QString s = qs(text);
    s.replace(QLatin1String("{service}"), baseUrl_);
    return s;
  }

  Session session(const Body& body) {
    QString token = body.text("access_token");
    if (token.isEmpty()) throw Reject{kUnknownSession, QStringLiteral("Please sign in: the request carries no session"), true};
    DbRows rows = must("SELECT id, project_id, revision_id, COALESCE(tester_id, 0) FROM sessions WHERE token = ?1",
                       {str(token)});
    if (rows.empty()) throw Reject{kUnknownSession, QStringLiteral("Your session has expired. Please sign in again."), true};
    Session s{rows[0].integer(0), rows[0].integer(1), rows[0].integer(2), rows[0].integer(3)};
    answer_.sessionId = s.id;
    return s;
  }

  // Project, app and revision named by an api_key and an app_id.
  Revision revision(const Body& body) {
    QString apiKey = body.text("api_key");
    QString appId = body.text("app_id");
    DbRows project = must("SELECT id FROM projects WHERE api_key = ?1", {str(apiKey)});
    if (project.empty()) throw Reject{kUnknownApiKey, QStringLiteral("Unknown API key. Check the project id of this build."), true};
    Revision r;
    r.projectId = project[0].integer(0);
    QString bundle, version;
    if (!Protocol::decodeAppId(appId, &bundle, &version))
      throw Reject{kUnknownApp, QStringLiteral("This application could not be identified"), true};
    DbRows app = must("SELECT id, install_url FROM apps WHERE project_id = ?1 AND bundle_id = ?2",
                      {r.projectId, str(bundle)});
    if (app.empty())
      throw Reject{kUnknownApp, QStringLiteral("The application \"%1\" is not part of this project").arg(bundle), true};
    r.appId = app[0].integer(0);
    QString install = expand(app[0].text(1));
    QString installTitle = install.isEmpty() ? QString() : QStringLiteral("Install the current build");
    DbRows rev = must("SELECT id, disabled FROM revisions WHERE app_id = ?1 AND bundle_version = ?2",
                      {r.appId, str(version)});
    if (rev.empty()) {
      throw Reject{kUnknownRevision, QStringLiteral("Version %1 of %2 is not registered for testing").arg(version, bundle),
                   true, install, installTitle};
    }
    r.revisionId = rev[0].integer(0);
    r.disabled = rev[0].integer(1) != 0;
    if (r.disabled) {
      disabledReject_ = Reject{kRevisionDisabled,
                               QStringLiteral("Version %1 of %2 has expired. Please install the current build.").arg(version, bundle),
                               true, install, installTitle};
    }
    return r;
  }

  QJsonObject revisionObject(std::int64_t revisionId) {
    DbRows rows = must(
        "SELECT r.title, r.build_number, r.icon, p.title, p.organization_title FROM revisions r"
        " JOIN apps a ON a.id = r.app_id JOIN projects p ON p.id = a.project_id WHERE r.id = ?1",
        {revisionId});
    if (rows.empty()) return {};
    const DbRow& r = rows[0];
    return QJsonObject{{"title", expand(r.text(0))},   {"build_number", expand(r.text(1))}, {"icon", expand(r.text(2))},
                       {"project", expand(r.text(3))}, {"organization", expand(r.text(4))}};
  }

  QJsonObject userObject(std::int64_t testerId, bool withEmail) {
    DbRows rows = must("SELECT full_name, image, role, uid, email, role_name FROM testers WHERE id = ?1", {testerId});
    QJsonObject u{{"full_name", QString()}, {"image", QString()}, {"role", QString()}};
    if (rows.empty()) return u;
    const DbRow& r = rows[0];
    u = QJsonObject{{"full_name", expand(r.text(0))}, {"image", expand(r.text(1))}, {"role", expand(r.text(2))},
                    {"uid", expand(r.text(3))}};
    if (withEmail) {
      u.insert(QStringLiteral("email"), expand(r.text(4)));
      u.insert(QStringLiteral("role_name"), expand(r.text(5)));
    }
    return u;
  }

  QJsonArray catalogue(const char* table, const char* idColumn, bool withIcon, std::int64_t projectId) {
    std::string sql = std::string("SELECT ") + idColumn + ", name" + (withIcon ? ", icon" : "") + " FROM " + table +
                      " WHERE project_id = ?1 ORDER BY position, " + idColumn;
    QJsonArray list;
    for (const DbRow& r : must(sql, {projectId})) {
      QJsonObject e{{"id", static_cast<qint64>(r.integer(0))}, {"name", expand(r.text(1))}};
      if (withIcon) e.insert(QStringLiteral("icon"), expand(r.text(2)));
      list.append(e);
    }
    return list;
  }

  // A requirement as one tester sees it: its status is that tester's.
  static constexpr const char* kRequirementColumns =
      "q.rid, q.code, q.kind, q.priority, q.title, q.description, q.actor, q.action, q.exp_result, q.reference,"
      " q.number, COALESCE(rs.status, q.status)";
  // The FROM clause behind those columns; the tester's id is parameter `testerParam`.
  static std::string requirementsOfTester(int testerParam) {
    return " FROM requirements q LEFT JOIN requirement_statuses rs ON rs.requirement_id = q.id AND rs.tester_id = ?" +
           std::to_string(testerParam);
  }

  QJsonObject requirementObject(const DbRow& r) {
    auto nullable = [&](std::size_t c) { return r.isNull(c) ? QJsonValue() : QJsonValue(expand(r.text(c))); };
    return QJsonObject{{"rid", static_cast<qint64>(r.integer(0))},
                       {"code", expand(r.text(1))},
                       {"kind", static_cast<qint64>(r.integer(2))},
                       {"priority", static_cast<qint64>(r.integer(3))},
                       {"title", expand(r.text(4))},
                       {"description", expand(r.text(5))},
                       {"actor", nullable(6)},
                       {"action", nullable(7)},
                       {"exp_result", expand(r.text(8))},
                       {"reference", nullable(9)},
                       {"number", static_cast<qint64>(r.integer(10))},
                       {"status", static_cast<qint64>(r.integer(11))}};
  }

  QByteArray auth(const Body& body) {
    QString locale = body.text("locale");
    QString udid = body.text("udid");
    QString av = body.optionalText("a_v");
    Revision r = revision(body);
    if (disabledReject_) throw *disabledReject_;

    // The tester: the one whose device-id prefix matches (longest first), else
    // the project's default tester, else its first.
    DbRows tester = must(
        "SELECT id FROM testers WHERE project_id = ?1 AND udid_prefix <> '' AND substr(?2, 1, length(udid_prefix)) = udid_prefix"
        " ORDER BY length(udid_prefix) DESC LIMIT 1",
        {r.projectId, str(udid)});
    if (tester.empty()) {
      tester = must(
          "SELECT t.id FROM testers t JOIN projects p ON p.id = t.project_id WHERE t.project_id = ?1"
          " ORDER BY (t.uid = p.default_tester) DESC, t.id LIMIT 1",
          {r.projectId});
    }
    // A project without testers opens sessions without one (tester id 0 is stored as NULL).
    const std::int64_t testerId = tester.empty() ? 0 : tester[0].integer(0);

    QByteArray random(24, Qt::Uninitialized);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(random.data()),
                                         reinterpret_cast<quint32*>(random.data() + random.size()));
    QString token = QString::fromLatin1(random.toHex());
    DbRows session = must("INSERT INTO sessions (token, project_id, revision_id, tester_id, udid, locale, a_v, created_at)"
                          " VALUES (?1, ?2, ?3, NULLIF(?4, 0), ?5, ?6, ?7, ?8) RETURNING id",
                          {str(token), r.projectId, r.revisionId, testerId, str(udid), str(locale), str(av), now()});
    answer_.sessionId = session.at(0).integer(0);

    QJsonObject payload{{"access_token", token},
                        {"revision", revisionObject(r.revisionId)},
                        {"user", tester.empty() ? userObject(0, false) : userObject(tester[0].integer(0), false)},
                        {"issue_types", catalogue("issue_types", "type_id", true, r.projectId)},
                        {"issue_priorities", catalogue("issue_priorities", "priority_id", true, r.projectId)},
                        {"requirement_priorities", catalogue("requirement_priorities", "priority_id", false, r.projectId)}};
    return success(payload);
  }

  QByteArray profile(const Body& body) {
    Session s = session(body);
    if (body.has("ts")) body.text("ts");
    DbRows p = must(
        "SELECT title, icon, organization_title, organization_icon, schema_open, schema_install, schema_logout"
        " FROM projects WHERE id = ?1",
        {s.projectId});
    if (p.empty()) throw Reject{kInternal, QStringLiteral("The session's project no longer exists")};
    const DbRow& r = p[0];
    QJsonObject rev = revisionObject(s.revisionId);
    QJsonObject payload{
        {"revision", QJsonObject{{"title", rev.value(QLatin1String("title"))},
                                 {"build_number", rev.value(QLatin1String("build_number"))},
                                 {"icon", rev.value(QLatin1String("icon"))}}},
        {"project", QJsonObject{{"title", expand(r.text(0))}, {"icon", expand(r.text(1))}}},
        {"organization", QJsonObject{{"title", expand(r.text(2))}, {"icon", expand(r.text(3))}}},
        {"user", userObject(s.testerId, true)},
        {"schemas", QJsonObject{{"open", expand(r.text(4))}, {"install", expand(r.text(5))}, {"logout", expand(r.text(6))}}}};
    return success(payload);
  }

  QByteArray requirements(const Body& body) {
    Session s = session(body);
    std::int64_t page = body.integer("page", 0, 1000000);
    std::int64_t status = body.integer("status", 0, 3);
    DbRows p = must("SELECT page_size FROM projects WHERE id = ?1", {s.projectId});
    std::int64_t pageSize = p.empty() ? 5 : p[0].integer(0);
    // Pages count from 0: the list asks for page (rows shown / page size).
    DbRows rows = must(std::string("SELECT ") + kRequirementColumns + requirementsOfTester(5) +
                           " WHERE q.revision_id = ?1 AND COALESCE(rs.status, q.status) = ?2"
                           " ORDER BY q.number, q.rid LIMIT ?3 OFFSET ?4",
                       {s.revisionId, status, pageSize, page * pageSize, s.testerId});
    QJsonArray list;
    for (const DbRow& r : rows) list.append(requirementObject(r));
    return success(QJsonObject{{"page_size", static_cast<qint64>(pageSize)}, {"page", static_cast<qint64>(page)},
                               {"requirements", list}});
  }

  DbRow findRequirement(const Session& s, std::int64_t rid, const char* extraColumns = "") {
    DbRows rows = must(std::string("SELECT ") + kRequirementColumns + extraColumns + requirementsOfTester(3) +
                           " WHERE q.revision_id = ?1 AND q.rid = ?2",
                       {s.revisionId, rid, s.testerId});
    if (rows.empty()) throw Reject{kNotFound, QStringLiteral("Requirement %1 does not exist in this build").arg(rid)};
    return rows[0];
  }

  QByteArray requirement(const Body& body) {
    Session s = session(body);
    std::int64_t rid = body.integer("rid", 0, INT64_C(9000000000000000));
    return success(QJsonObject{{"requirement", requirementObject(findRequirement(s, rid))}});
  }

  QByteArray requirementResult(const Body& body) {
    Session s = session(body);
    std::int64_t rid = body.integer("rid", 0, INT64_C(9000000000000000));
    std::int64_t status = body.integer("status", 0, 3);
    Transaction tx(db_);
    DbRow r = findRequirement(s, rid, ", q.id");
    std::int64_t previous = r.integer(11);
    std::int64_t id = r.integer(12);
    // A result whose answer the device never got comes again: it was applied once.
    if (must(std::string("INSERT INTO requirement_results (session_id, requirement_id, rid, status, previous_status,"
                         " received_at, delivery_id) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)") + kOncePerDelivery,
             {s.id, id, rid, status, previous, now(), deliveryId()})
            .empty())
      return success(QJsonValue());
    // Only this tester's status moves; the others keep theirs.
    must("INSERT INTO requirement_statuses (requirement_id, tester_id, status) VALUES (?1, ?2, ?3)"
         " ON CONFLICT (requirement_id, tester_id) DO UPDATE SET status = excluded.status",
         {id, s.testerId, status});
    if (!tx.commit()) throw Reject{kInternal, QStringLiteral("The service could not store the result")};
    return success(QJsonValue());
  }

  // Stores bytes under a name of ours; the path to record.
  QString writeFile(const QString& name, const QByteArray& bytes) {
    std::optional<QString> path = files_.write(name, bytes);
    if (!path) throw Reject{kInternal, QStringLiteral("The service could not store the attachment")};
    written_ << *path;
    return *path;
  }

  QByteArray postIssue(const Body& body) {
    QString locale = body.text("locale");
    Session s = session(body);
    QString uid = body.text("uid"), rid = body.text("rid"), draft = body.text("draft");
    QJsonValue issueValue = body.value("issue");
    if (!issueValue.isObject()) throw Reject{kBadRequest, QStringLiteral("Member \"issue\" must be an object")};
    QJsonObject issue = issueValue.toObject();
    QString tracker = textOrNumber(issue, "tracker"), priority = textOrNumber(issue, "priority");
    QString subject = textOrNumber(issue, "subject"), description = textOrNumber(issue, "description");

    struct File {
      QString name;
      QByteArray bytes;
    };
    std::vector<File> files;
    QJsonValue attachments = issue.value(QLatin1String("attachments"));
    if (!attachments.isUndefined()) {
      if (!attachments.isArray()) throw Reject{kBadRequest, QStringLiteral("Member \"issue.attachments\" must be an array")};
      int n = 0;
      for (const QJsonValue& a : attachments.toArray()) {
        ++n;
        QJsonObject o = a.toObject();
        if (!a.isObject() || !o.value(QLatin1String("file")).isString())
          throw Reject{kBadRequest, QStringLiteral("Attachment %1 needs a \"file\" text").arg(n)};
        QString name = o.value(QLatin1String("name")).toString();
        auto bytes = decodeBase64Strict(o.value(QLatin1String("file")).toString().toLatin1());
        if (!bytes) throw Reject{kBadRequest, QStringLiteral("Attachment %1 (%2) is not valid Base64").arg(n).arg(name)};
        files.push_back({name, *bytes});
      }
    }

    Transaction tx(db_);
    DbRows stored = must(std::string("INSERT INTO issues (session_id, received_at, locale, tracker, priority, subject,"
                                     " description, rid, uid, draft, delivery_id)"
                                     " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)") + kOncePerDelivery,
                         {s.id, now(), str(locale), str(tracker), str(priority), str(subject), str(description),
                          str(rid), str(uid), str(draft), deliveryId()});
    if (stored.empty()) return success(QJsonValue());
    std::int64_t issueId = stored[0].integer(0);
    try {
      for (std::size_t i = 0; i < files.size(); ++i) {
        // Our own file names: the client's name is only recorded.
        QString path = writeFile(QStringLiteral("issues/%1/%2.png").arg(issueId).arg(i + 1), files[i].bytes);
        bool png = files[i].bytes.startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8));
        must("INSERT INTO attachments (issue_id, position, name, path, size, is_png) VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
             {issueId, std::int64_t(i + 1), str(files[i].name), str(path), std::int64_t(files[i].bytes.size()),
              std::int64_t(png)});
      }
      if (!tx.commit()) throw Reject{kInternal, QStringLiteral("The service could not store the issue")};
    } catch (const Reject&) {
      removeWritten();
      throw;
    }
    return success(QJsonValue());
  }

  QByteArray postCrash(const Body& body) {
    QString locale = body.text("locale");
    std::optional<Session> s;
    std::int64_t projectId = 0;
    QString appId, apiKey, udid;
    if (body.has("access_token")) {
      s = session(body);
      projectId = s->projectId;
    } else {
      // Sent before any session existed: the build identifies itself instead.
      appId = body.text("app_id");
      apiKey = body.text("api_key");
      udid = body.text("udid");
      Revision r = revision(body);  // a disabled build may still report its crashes
      projectId = r.projectId;
    }
    QString uid = body.text("uid"), rid = body.text("rid");
    auto log = decodeBase64Strict(body.text("log").toLatin1());
    if (!log) throw Reject{kBadRequest, QStringLiteral("Member \"log\" is not valid Base64")};
    QJsonValue env = body.value("device_env");
    if (!env.isObject()) throw Reject{kBadRequest, QStringLiteral("Member \"device_env\" must be an object")};
    QByteArray envText = QJsonDocument(env.toObject()).toJson(QJsonDocument::Compact);

    Transaction tx(db_);
    DbRows stored = must(std::string("INSERT INTO crashes (session_id, project_id, received_at, locale, app_id, api_key,"
                                     " udid, uid, rid, log, device_env, delivery_id)"
                                     " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)") + kOncePerDelivery,
                         {s ? DbValue(s->id) : DbValue(std::monostate{}), projectId, now(), str(locale), str(appId),
                          str(apiKey), str(udid), str(uid), str(rid), log->toStdString(), envText.toStdString(),
                          deliveryId()});
    if (stored.empty()) return success(QJsonValue());
    std::int64_t crashId = stored[0].integer(0);
    try {
      QString path = writeFile(QStringLiteral("crashes/crash-%1.txt").arg(crashId), *log);
      must("UPDATE crashes SET log_path = ?1 WHERE id = ?2", {str(path), crashId});
      if (!tx.commit()) throw Reject{kInternal, QStringLiteral("The service could not store the crash")};
    } catch (const Reject&) {
      removeWritten();
      throw;
    }
    return success(QJsonValue());
  }

  QByteArray postLogs(const Body& body) {
    QString locale = body.text("locale");
    Session s = session(body);
    QJsonValue logs = body.value("logs");
    if (!logs.isArray()) throw Reject{kBadRequest, QStringLiteral("Member \"logs\" must be an array")};
    struct Entry {
      QString level, message, createdAt;
    };
    std::vector<Entry> entries;
    int n = 0;
    for (const QJsonValue& v : logs.toArray()) {
      ++n;
      if (!v.isObject()) throw Reject{kBadRequest, QStringLiteral("Log entry %1 must be an object").arg(n)};
      QJsonObject o = v.toObject();
      auto member = [&](const char* key) -> QString {
        QJsonValue m = o.value(QLatin1String(key));
        if (m.isString()) return m.toString();
        if (m.isDouble()) return QString::number(m.toDouble(), 'g', 17);
        if (m.isUndefined()) return {};
        throw Reject{kBadRequest, QStringLiteral("Log entry %1: \"%2\" must be a string").arg(n).arg(QLatin1String(key))};
      };
      entries.push_back({member("log_level"), member("message"), member("created_at")});
    }
    Transaction tx(db_);
    DbRows stored = must(std::string("INSERT INTO log_batches (session_id, received_at, format, locale, entry_count,"
                                     " delivery_id) VALUES (?1, ?2, 'json', ?3, ?4, ?5)") + kOncePerDelivery,
                         {s.id, now(), str(locale), std::int64_t(entries.size()), deliveryId()});
    if (stored.empty()) return success(QJsonValue());
    std::int64_t batch = stored[0].integer(0);
    for (const Entry& e : entries) {
      must("INSERT INTO log_entries (batch_id, log_level, message, created_at) VALUES (?1, ?2, ?3, ?4)",
           {batch, str(e.level), str(e.message), str(e.createdAt)});
    }
    if (!tx.commit()) throw Reject{kInternal, QStringLiteral("The service could not store the logs")};
    return success(QJsonValue());
  }

  // The periodic empty batch carries no session: it only shows the device is alive.
  QByteArray emptyPropertyListBatch() {
    must("INSERT INTO log_batches (session_id, received_at, format, entry_count) VALUES (NULL, ?1, 'plist', 0)", {now()});
    return success(QJsonValue());
  }

  QByteArray trackState(const Body& body) {
    QString locale = body.text("locale");
    Session s = session(body);
    QString action = body.text("state_action");
    if (action != QLatin1String("suspend") && action != QLatin1String("resume"))
      throw Reject{kBadRequest, QStringLiteral("\"state_action\" must be \"suspend\" or \"resume\"")};
    std::int64_t at = body.integer("state_action_at", 0, INT64_C(9000000000000000));
    must("INSERT INTO state_events (session_id, received_at, locale, state_action, state_action_at) VALUES (?1, ?2, ?3, ?4, ?5)",
         {s.id, now(), str(locale), str(action), std::to_string(at)});
    return success(QJsonValue());
  }

  QByteArray checkForUpdate(const Body& body) {
    body.text("locale");
    body.text("udid");
    Revision r = revision(body);  // an expired build is exactly the one that needs the update
    DbRows rows = must("SELECT title, build_number, update_available, ota_url FROM revisions WHERE id = ?1", {r.revisionId});
    const DbRow& row = rows.at(0);
    bool available = row.integer(2) != 0 && !row.text(3).empty();
    QJsonObject payload{{"update_available", available ? 1 : 0},
                        {"revision", QJsonObject{{"title", expand(row.text(0))},
                                                 {"build_number", expand(row.text(1))},
                                                 {"ota_url", available ? expand(row.text(3)) : QString()}}}};
    return success(payload);
  }

  void removeWritten() {
    for (const QString& path : written_) files_.discard(path);
    written_.clear();
  }

  Database& db_;
  FileStore& files_;
  const QString& baseUrl_;
  const QString& deliveryId_;
  Answer& answer_;
  std::optional<Reject> disabledReject_;
  QStringList written_;
};

}  // namespace

Protocol::Protocol(Database& db, FileStore& files) : db_(db), files_(files) {}

Answer Protocol::handle(const QString& method, const QByteArray& body, const QString& baseUrl, const QString& deliveryId) {
  Answer answer;
  const QString id = normalDeliveryId(deliveryId);
  Handler handler(db_, files_, baseUrl, id, answer);
  try {
    if (!deliveryId.isEmpty() && id.isNull()) {
      throw Reject{kBadRequest, QStringLiteral("The %1 header must be 32 hexadecimal digits or a UUID")
                                    .arg(QLatin1String(kDeliveryIdHeader))};
    }
    answer.body = handler.run(method, body);
    answer.responseCode = kOk;
  } catch (const Reject& r) {
    answer.body = errorBody(r.code, r.message, r.refresh, r.url, r.title);
    answer.responseCode = r.code;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brelvo-service: %s failed: %s\n", qPrintable(method), e.what());
    answer.body = errorBody(kInternal, QStringLiteral("Internal error"));
    answer.responseCode = kInternal;
  }
  return answer;
}

QByteArray Protocol::errorBody(int code, const QString& error, bool refresh, const QString& url, const QString& title) {
  return envelope(QJsonObject{{"response_code", code},
                              {"error", error},
                              {"url_scheme", QJsonObject{{"url", url}, {"title", title}, {"refresh", refresh}}},
                              {"payload", QJsonValue()}});
}

bool Protocol::decodeAppId(const QString& appId, QString* bundleId, QString* bundleVersion) {
  QByteArray b64 = appId.toLatin1();
  if (b64.isEmpty() || appId.size() > 4096) return false;
  while (b64.size() % 4 != 0) b64.append('=');
  auto bytes = decodeBase64Strict(b64);
  if (!bytes) return false;
  QString text = QString::fromUtf8(*bytes);
  if (!text.startsWith(QLatin1String("1_")) || !text.endsWith(QLatin1String("__")) || text.size() < 6) return false;
  QString middle = text.mid(2, text.size() - 4);
  int split = middle.lastIndexOf(QLatin1String("__"));
  if (split <= 0) return false;
  *bundleId = middle.left(split);
  *bundleVersion = middle.mid(split + 2);
  return !bundleVersion->isEmpty();
}

QString Protocol::normalDeliveryId(const QString& header) {
  static const QRegularExpression pattern(
      QStringLiteral("^([0-9A-Fa-f]{32}|[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12})$"));
  if (!pattern.match(header).hasMatch()) return QString();
  return header.toLower().remove(QLatin1Char('-'));
}

bool Protocol::isEmptyArrayPropertyList(const QByteArray& body) {
  if (body.size() > 4096) return false;
  static const QRegularExpression pattern(QStringLiteral(
      R"(^\s*(<\?xml[^>]*\?>\s*)?(<!DOCTYPE[^>]*>\s*)?<plist(\s[^>]*)?>\s*(<array\s*/>|<array>\s*</array>)\s*</plist>\s*$)"));
  return pattern.match(QString::fromUtf8(body)).hasMatch();
}

}  // namespace brelvo::service
