#include "Seed.h"

#include "Database.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdint>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <variant>

namespace brelvo::service {
namespace {

// The largest rid a device can ask for.
constexpr std::int64_t kLargestRid = INT64_C(9000000000000000);

struct SeedError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string where(const QString& path) { return path.toStdString(); }

std::string text(const QJsonObject& o, const char* key, const QString& path, bool required = false) {
  QJsonValue v = o.value(QLatin1String(key));
  if (v.isUndefined() || v.isNull()) {
    if (required) throw SeedError(where(path) + "." + key + " is missing");
    return {};
  }
  if (v.isDouble()) return QString::number(v.toDouble(), 'g', 17).toStdString();
  if (!v.isString()) throw SeedError(where(path) + "." + key + " must be a string");
  return v.toString().toStdString();
}

// Text that may be absent (null in the database), such as a requirement's actor.
DbValue optionalText(const QJsonObject& o, const char* key, const QString& path) {
  QJsonValue v = o.value(QLatin1String(key));
  if (v.isUndefined() || v.isNull()) return std::monostate{};
  if (!v.isString()) throw SeedError(where(path) + "." + key + " must be a string or null");
  return v.toString().toStdString();
}

std::int64_t integer(const QJsonObject& o, const char* key, const QString& path, std::int64_t fallback,
                     bool required = false) {
  QJsonValue v = o.value(QLatin1String(key));
  if (v.isUndefined() || v.isNull()) {
    if (required) throw SeedError(where(path) + "." + key + " is missing");
    return fallback;
  }
  if (v.isDouble()) {
    double d = v.toDouble();
    if (d != static_cast<double>(static_cast<std::int64_t>(d)))
      throw SeedError(where(path) + "." + key + " must be an integer");
    return static_cast<std::int64_t>(d);
  }
  if (v.isString()) {
    bool ok = false;
    qlonglong n = v.toString().toLongLong(&ok);
    if (ok) return n;
  }
  throw SeedError(where(path) + "." + key + " must be an integer");
}

bool flag(const QJsonObject& o, const char* key, const QString& path) {
  QJsonValue v = o.value(QLatin1String(key));
  if (v.isUndefined() || v.isNull()) return false;
  if (!v.isBool()) throw SeedError(where(path) + "." + key + " must be true or false");
  return v.toBool();
}

QJsonArray array(const QJsonObject& o, const char* key, const QString& path) {
  QJsonValue v = o.value(QLatin1String(key));
  if (v.isUndefined() || v.isNull()) return {};
  if (!v.isArray()) throw SeedError(where(path) + "." + key + " must be an array");
  return v.toArray();
}

QJsonObject object(const QJsonValue& v, const QString& path) {
  if (!v.isObject()) throw SeedError(where(path) + " must be an object");
  return v.toObject();
}

std::int64_t must(Database& db, const std::string& sql, std::initializer_list<DbValue> params) {
  auto rows = db.query(sql, params);
  if (!rows) throw SeedError("database: " + db.lastError());
  return rows->empty() ? 0 : rows->front().integer(0);
}

// One requirement of a build, added or, by its rid, updated in place.
void loadRequirement(Database& db, std::int64_t revisionId, const QJsonObject& r, const QString& p) {
  std::int64_t rid = integer(r, "rid", p, 0, true);
  if (rid < 1) throw SeedError(where(p) + ".rid must be 1 or more");
  std::int64_t status = integer(r, "status", p, 0);
  if (status < 0 || status > 3) throw SeedError(where(p) + ".status must be 0, 1, 2 or 3");
  // The status is only the starting point: once a tester reported a result,
  // reloading the seed must not undo it.
  must(db,
       "INSERT INTO requirements (revision_id, rid, code, kind, priority, title, description, actor, action,"
       " exp_result, reference, number, status) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)"
       " ON CONFLICT (revision_id, rid) DO UPDATE SET code = excluded.code, kind = excluded.kind,"
       " priority = excluded.priority, title = excluded.title, description = excluded.description,"
       " actor = excluded.actor, action = excluded.action, exp_result = excluded.exp_result,"
       " reference = excluded.reference, number = excluded.number",
       {revisionId, rid, text(r, "code", p), integer(r, "kind", p, 1), integer(r, "priority", p, 0),
        text(r, "title", p), text(r, "description", p), optionalText(r, "actor", p), optionalText(r, "action", p),
        text(r, "exp_result", p), optionalText(r, "reference", p), integer(r, "number", p, rid), status});
}

void loadRequirements(Database& db, std::int64_t revisionId, const QJsonArray& list, const QString& path) {
  for (int i = 0; i < list.size(); ++i) {
    QString p = QStringLiteral("%1.requirements[%2]").arg(path).arg(i);
    loadRequirement(db, revisionId, object(list.at(i), p), p);
  }
}

void loadApps(Database& db, std::int64_t projectId, const QJsonArray& apps, const QString& path) {
  for (int i = 0; i < apps.size(); ++i) {
    QString p = QStringLiteral("%1.apps[%2]").arg(path).arg(i);
    QJsonObject a = object(apps.at(i), p);
    std::string bundle = text(a, "bundle_id", p, true);
    if (bundle.empty()) throw SeedError(where(p) + ".bundle_id must not be empty");
    std::int64_t appId = must(db,
                              "INSERT INTO apps (project_id, bundle_id, install_url) VALUES (?1, ?2, ?3)"
                              " ON CONFLICT (project_id, bundle_id) DO UPDATE SET install_url = excluded.install_url"
                              " RETURNING id",
                              {projectId, bundle, text(a, "install_url", p)});
    QJsonArray revisions = array(a, "revisions", p);
    for (int j = 0; j < revisions.size(); ++j) {
      QString rp = QStringLiteral("%1.revisions[%2]").arg(p).arg(j);
      QJsonObject r = object(revisions.at(j), rp);
      std::string version = text(r, "bundle_version", rp, true);
      if (version.empty()) throw SeedError(where(rp) + ".bundle_version must not be empty");
      std::int64_t revisionId = must(
          db,
          "INSERT INTO revisions (app_id, bundle_version, title, build_number, icon, disabled, update_available,"
          " ota_url) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"
          " ON CONFLICT (app_id, bundle_version) DO UPDATE SET title = excluded.title,"
          " build_number = excluded.build_number, icon = excluded.icon, disabled = excluded.disabled,"
          " update_available = excluded.update_available, ota_url = excluded.ota_url RETURNING id",
          {appId, version, text(r, "title", rp), text(r, "build_number", rp), text(r, "icon", rp),
           std::int64_t(flag(r, "disabled", rp)), std::int64_t(flag(r, "update_available", rp)),
           text(r, "ota_url", rp)});
      loadRequirements(db, revisionId, array(r, "requirements", rp), rp);
    }
  }
}

void loadProject(Database& db, const QJsonObject& pr, const QString& p) {
  std::string apiKey = text(pr, "api_key", p, true);
  if (apiKey.empty()) throw SeedError(where(p) + ".api_key must not be empty");
  QJsonObject org = pr.value(QLatin1String("organization")).toObject();
  QJsonObject schemas = pr.value(QLatin1String("schemas")).toObject();
  std::int64_t pageSize = integer(pr, "page_size", p, 5);
  if (pageSize < 1 || pageSize > 1000) throw SeedError(where(p) + ".page_size must be between 1 and 1000");
  std::int64_t projectId = must(
      db,
      "INSERT INTO projects (api_key, title, icon, organization_title, organization_icon, page_size,"
      " default_tester, schema_open, schema_install, schema_logout)"
      " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
      " ON CONFLICT (api_key) DO UPDATE SET title = excluded.title, icon = excluded.icon,"
      " organization_title = excluded.organization_title, organization_icon = excluded.organization_icon,"
      " page_size = excluded.page_size, default_tester = excluded.default_tester,"
      " schema_open = excluded.schema_open, schema_install = excluded.schema_install,"
      " schema_logout = excluded.schema_logout RETURNING id",
      {apiKey, text(pr, "title", p), text(pr, "icon", p), text(org, "title", p + ".organization"),
       text(org, "icon", p + ".organization"), pageSize, text(pr, "default_tester", p),
       text(schemas, "open", p + ".schemas"), text(schemas, "install", p + ".schemas"),
       text(schemas, "logout", p + ".schemas")});

  QJsonArray testers = array(pr, "testers", p);
  for (int i = 0; i < testers.size(); ++i) {
    QString tp = QStringLiteral("%1.testers[%2]").arg(p).arg(i);
    QJsonObject t = object(testers.at(i), tp);
    must(db,
         "INSERT INTO testers (project_id, uid, full_name, image, role, role_name, email, udid_prefix)"
         " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8) ON CONFLICT (project_id, uid) DO UPDATE SET"
         " full_name = excluded.full_name, image = excluded.image, role = excluded.role,"
         " role_name = excluded.role_name, email = excluded.email, udid_prefix = excluded.udid_prefix",
         {projectId, text(t, "uid", tp, true), text(t, "full_name", tp), text(t, "image", tp), text(t, "role", tp),
          text(t, "role_name", tp), text(t, "email", tp), text(t, "udid_prefix", tp)});
  }

  struct Catalogue {
    const char* key;
    const char* table;
    bool hasIcon;
  };
  for (const Catalogue& c : {Catalogue{"issue_types", "issue_types", true},
                             Catalogue{"issue_priorities", "issue_priorities", true},
                             Catalogue{"requirement_priorities", "requirement_priorities", false}}) {
    QJsonArray list = array(pr, c.key, p);
    std::string idColumn = std::string(c.table) == "issue_types" ? "type_id" : "priority_id";
    for (int i = 0; i < list.size(); ++i) {
      QString ip = QStringLiteral("%1.%2[%3]").arg(p, QLatin1String(c.key)).arg(i);
      QJsonObject e = object(list.at(i), ip);
      std::string sql = std::string("INSERT INTO ") + c.table + " (project_id, " + idColumn + ", name, position" +
                        (c.hasIcon ? ", icon" : "") + ") VALUES (?1, ?2, ?3, ?4" + (c.hasIcon ? ", ?5" : "") +
                        ") ON CONFLICT (project_id, " + idColumn +
                        ") DO UPDATE SET name = excluded.name, position = excluded.position" +
                        (c.hasIcon ? ", icon = excluded.icon" : "");
      if (c.hasIcon) {
        must(db, sql, {projectId, integer(e, "id", ip, 0, true), text(e, "name", ip), std::int64_t(i),
                       text(e, "icon", ip)});
      } else {
        must(db, sql, {projectId, integer(e, "id", ip, 0, true), text(e, "name", ip), std::int64_t(i)});
      }
    }
  }

  loadApps(db, projectId, array(pr, "apps", p), p);
}

}  // namespace

bool loadSeed(Database& db, const QByteArray& json, QString* error) {
  QJsonParseError parseError{};
  QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
  if (doc.isNull() || !doc.isObject()) {
    if (error) {
      *error = doc.isNull() ? QStringLiteral("not JSON: %1 at offset %2").arg(parseError.errorString()).arg(parseError.offset)
                            : QStringLiteral("the seed must be a JSON object");
    }
    return false;
  }
  Transaction tx(db);
  try {
    QJsonArray projects = array(doc.object(), "projects", QStringLiteral("seed"));
    for (int i = 0; i < projects.size(); ++i) {
      QString p = QStringLiteral("seed.projects[%1]").arg(i);
      loadProject(db, object(projects.at(i), p), p);
    }
  } catch (const SeedError& e) {
    if (error) *error = QString::fromStdString(e.what());
    return false;
  }
  if (!tx.commit()) {
    if (error) *error = QStringLiteral("database: %1").arg(QString::fromStdString(db.lastError()));
    return false;
  }
  return true;
}

bool addApp(Database& db, const QString& apiKey, const QString& bundleId, const QString& version, QString* message) {
  const auto fail = [message](const QString& why) {
    if (message) *message = why;
    return false;
  };
  if (bundleId.trimmed().isEmpty() || version.trimmed().isEmpty())
    return fail(QStringLiteral("the application's identifier and version must not be empty"));
  std::optional<DbRows> projects =
      apiKey.isEmpty() ? db.query("SELECT id, api_key, title FROM projects ORDER BY id")
                       : db.query("SELECT id, api_key, title FROM projects WHERE api_key = ?1", {apiKey.toStdString()});
  if (!projects) return fail(QStringLiteral("database: %1").arg(QString::fromStdString(db.lastError())));
  if (projects->empty())
    return fail(apiKey.isEmpty() ? QStringLiteral("the database holds no project yet: load one with --seed")
                                 : QStringLiteral("no project has the API key %1").arg(apiKey));
  if (projects->size() > 1) {
    QStringList keys;
    for (const DbRow& row : *projects) keys << QString::fromStdString(row.text(1));
    return fail(QStringLiteral("several projects: choose one with --project-key (%1)").arg(keys.join(QStringLiteral(", "))));
  }
  const DbRow& project = projects->front();
  const QJsonArray apps{QJsonObject{
      {QStringLiteral("bundle_id"), bundleId},
      {QStringLiteral("revisions"),
       QJsonArray{QJsonObject{{QStringLiteral("bundle_version"), version},
                              {QStringLiteral("title"), bundleId + QLatin1Char(' ') + version},
                              {QStringLiteral("build_number"), QStringLiteral("1")}}}}}};
  Transaction tx(db);
  try {
    loadApps(db, project.integer(0), apps, QStringLiteral("app"));
  } catch (const SeedError& e) {
    return fail(QString::fromStdString(e.what()));
  }
  if (!tx.commit()) return fail(QStringLiteral("database: %1").arg(QString::fromStdString(db.lastError())));
  if (message) {
    *message = QStringLiteral("added %1 %2 to the project \"%3\"; its testers sign in with the API key %4")
                   .arg(bundleId, version, QString::fromStdString(project.text(2)),
                        QString::fromStdString(project.text(1)));
  }
  return true;
}

bool saveRequirement(Database& db, std::int64_t revisionId, const QJsonObject& fields, QString* message) {
  const auto fail = [message](const QString& why) {
    if (message) *message = why;
    return false;
  };
  Transaction tx(db);
  try {
    const QString p = QStringLiteral("requirement");
    if (!must(db, "SELECT COUNT(*) FROM revisions WHERE id = ?1", {revisionId}))
      return fail(QStringLiteral("no build has the id %1").arg(revisionId));
    QJsonObject r = fields;
    const std::int64_t rid = integer(fields, "rid", p, 0);
    if (rid > kLargestRid) return fail(QStringLiteral("requirement.rid must be at most %1").arg(kLargestRid));
    std::optional<DbRows> current =
        db.query("SELECT rid, code, kind, priority, title, description, actor, action, exp_result, reference, number, status"
                 " FROM requirements WHERE revision_id = ?1 AND rid = ?2",
                 {revisionId, rid});
    if (!current) throw SeedError("database: " + db.lastError());
    const bool adding = current->empty();
    if (adding) {
      if (text(fields, "title", p).empty()) return fail(QStringLiteral("a new requirement needs a title"));
      // A new one goes after the build's others unless it says where. Counted
      // here rather than in SQL, where one past the largest integer turns real.
      const auto after = [&](const char* column) {
        return must(db, std::string("SELECT COALESCE(MAX(") + column + "), 0) FROM requirements WHERE revision_id = ?1",
                    {revisionId});
      };
      if (rid == 0) {
        const std::int64_t last = after("rid");
        if (last >= kLargestRid) return fail(QStringLiteral("the build's rids reach %1: give the new one's rid").arg(last));
        r.insert(QStringLiteral("rid"), qint64(last + 1));
      }
      if (!r.contains(QStringLiteral("number"))) {
        const std::int64_t last = after("number");
        r.insert(QStringLiteral("number"), qint64(last < INT64_MAX ? last + 1 : last));
      }
    } else {
      // Only what the request names changes; the rest stays as it was.
      const DbRow& row = current->front();
      static const char* kColumns[] = {"rid",        "code",   "kind",       "priority",  "title",  "description",
                                       "actor",      "action", "exp_result", "reference", "number", "status"};
      for (std::size_t c = 0; c < std::size(kColumns); ++c) {
        const QString key = QLatin1String(kColumns[c]);
        if (r.contains(key)) continue;
        if (row.isNull(c)) r.insert(key, QJsonValue());
        else if (std::holds_alternative<std::int64_t>(row.values[c])) r.insert(key, qint64(row.integer(c)));
        else r.insert(key, QString::fromStdString(row.text(c)));
      }
    }
    loadRequirement(db, revisionId, r, p);
    if (!tx.commit()) return fail(QStringLiteral("database: %1").arg(QString::fromStdString(db.lastError())));
    if (message) {
      *message = QStringLiteral("%1 requirement %2").arg(adding ? QStringLiteral("added") : QStringLiteral("changed"))
                     .arg(r.value(QStringLiteral("rid")).toVariant().toLongLong());
    }
    return true;
  } catch (const SeedError& e) {
    return fail(QString::fromStdString(e.what()));
  }
}

bool resetStatuses(Database& db, std::int64_t revisionId, std::int64_t rid, std::int64_t testerId, QString* message) {
  const auto fail = [message](const QString& why) {
    if (message) *message = why;
    return false;
  };
  Transaction tx(db);
  try {
    if (!must(db, "SELECT COUNT(*) FROM revisions WHERE id = ?1", {revisionId}))
      return fail(QStringLiteral("no build has the id %1").arg(revisionId));
    if (rid != 0 && !must(db, "SELECT COUNT(*) FROM requirements WHERE revision_id = ?1 AND rid = ?2", {revisionId, rid}))
      return fail(QStringLiteral("the build has no requirement %1").arg(rid));
    const std::optional<DbRows> deleted =
        db.query("DELETE FROM requirement_statuses WHERE requirement_id IN"
                 " (SELECT id FROM requirements WHERE revision_id = ?1 AND (?2 = 0 OR rid = ?2)) AND (?3 = 0 OR tester_id = ?3)"
                 " RETURNING 1",
                 {revisionId, rid, testerId});
    if (!deleted) throw SeedError("database: " + db.lastError());
    const std::size_t removed = deleted->size();
    if (!tx.commit()) return fail(QStringLiteral("database: %1").arg(QString::fromStdString(db.lastError())));
    if (message) *message = QStringLiteral("%1 statuses reset to where every tester starts").arg(removed);
    return true;
  } catch (const SeedError& e) {
    return fail(QString::fromStdString(e.what()));
  }
}

}  // namespace brelvo::service
