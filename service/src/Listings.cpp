#include "Listings.h"

#include <QDateTime>
#include <QStringList>
#include <QUrl>

#include <algorithm>

namespace brelvo::service {
namespace {

std::vector<std::string> keyParts(const Listing& l) {
  std::vector<std::string> parts;
  for (const QString& part : QString::fromLatin1(l.key).split(QLatin1Char(','))) parts.push_back(part.trimmed().toStdString());
  return parts;
}

}  // namespace

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

DbRows pageOf(Database& db, const Listing& l, const PageRequest& page, const Cursor& after, Cursor& next,
              const std::string& where) {
  const std::vector<std::string> key = keyParts(l);
  std::string sql = std::string("SELECT ") + l.columns + ", " + l.key + " FROM " + l.from;
  std::vector<DbValue> params;
  std::vector<std::string> conditions;
  if (!where.empty()) conditions.push_back("(" + where + ")");
  auto from = after.find(QString::fromLatin1(l.name));
  if (from != after.end()) {
    std::string condition = std::string("(") + l.key + (l.newestFirst ? ") < (" : ") > (");
    for (std::size_t i = 0; i < key.size(); ++i) {
      condition += (i ? ", ?" : "?") + std::to_string(i + 1);
      params.emplace_back(from->second[i]);
    }
    conditions.push_back(condition + ")");
  } else if (!page.cursor.isEmpty()) {
    return {};
  }
  for (std::size_t i = 0; i < conditions.size(); ++i) sql += (i ? " AND " : " WHERE ") + conditions[i];
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

DbRows queryRows(Database& db, const std::string& sql, std::initializer_list<DbValue> params) {
  auto rows = db.query(sql, params);
  return rows ? std::move(*rows) : DbRows{};
}

std::map<std::int64_t, DbRows> childrenOf(Database& db, const std::string& sql, const DbRows& parents,
                                          std::size_t idColumn, std::initializer_list<DbValue> params) {
  std::map<std::int64_t, DbRows> children;
  if (parents.empty()) return children;
  std::string ids;
  for (const DbRow& parent : parents) ids += (ids.empty() ? "" : ",") + std::to_string(parent.integer(idColumn));
  std::string statement = sql;
  statement.replace(statement.find("{ids}"), 5, ids);
  for (DbRow& row : queryRows(db, statement, params)) children[row.integer(0)].push_back(std::move(row));
  return children;
}

std::map<std::int64_t, DbRows> testerStatuses(Database& db, const DbRows& requirements, std::size_t idColumn) {
  return childrenOf(db,
                    "SELECT rs.requirement_id, rs.tester_id, COALESCE(t.uid, ''), COALESCE(t.full_name, ''), rs.status"
                    " FROM requirement_statuses rs LEFT JOIN testers t ON t.id = rs.tester_id"
                    " WHERE rs.requirement_id IN ({ids}) ORDER BY rs.requirement_id, rs.tester_id",
                    requirements, idColumn);
}

QString statusName(std::int64_t status) {
  static const char* kStatus[] = {"pending", "in progress", "passed", "failed"};
  return QString::fromLatin1(status >= 0 && status <= 3 ? kStatus[status] : "?");
}

QString readable(const std::string& text) { return QUrl::fromPercentEncoding(QByteArray::fromStdString(text)); }

QString dateText(std::int64_t secs) {
  return QDateTime::fromSecsSinceEpoch(secs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

}  // namespace brelvo::service
