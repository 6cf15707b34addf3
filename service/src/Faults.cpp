#include "Faults.h"

#include "Database.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace brelvo::service {

QString Fault::kindName(Kind kind) {
  switch (kind) {
    case Kind::Empty: return QStringLiteral("empty");
    case Kind::Html: return QStringLiteral("html");
    case Kind::Code: return QStringLiteral("code");
    case Kind::Delay: return QStringLiteral("delay");
    case Kind::Drop: return QStringLiteral("drop");
    case Kind::Hold: return QStringLiteral("hold");
  }
  return {};
}

std::optional<Fault> Fault::fromJson(const QJsonObject& o, QString* error) {
  auto fail = [error](const QString& message) -> std::optional<Fault> {
    if (error) *error = message;
    return std::nullopt;
  };
  Fault f;
  QJsonValue kind = o.value(QLatin1String("kind"));
  if (!kind.isString()) return fail(QStringLiteral("\"kind\" must be one of empty, html, code, delay, drop, hold"));
  const QString name = kind.toString();
  bool known = false;
  for (Kind k : {Kind::Empty, Kind::Html, Kind::Code, Kind::Delay, Kind::Drop, Kind::Hold}) {
    if (kindName(k) == name) {
      f.kind = k;
      known = true;
    }
  }
  if (!known) return fail(QStringLiteral("\"kind\" must be one of empty, html, code, delay, drop, hold"));

  auto intMember = [&](const char* key, int low, int high, int* out) -> bool {
    QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined()) return true;
    if (!v.isDouble() || v.toDouble() != static_cast<double>(v.toInt()) || v.toInt() < low || v.toInt() > high) {
      if (error) *error = QStringLiteral("\"%1\" must be an integer from %2 to %3").arg(QLatin1String(key)).arg(low).arg(high);
      return false;
    }
    *out = v.toInt();
    return true;
  };
  auto textMember = [&](const char* key, QString* out) -> bool {
    QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined()) return true;
    if (!v.isString()) {
      if (error) *error = QStringLiteral("\"%1\" must be a string").arg(QLatin1String(key));
      return false;
    }
    *out = v.toString();
    return true;
  };
  if (!intMember("count", 1, 1000000, &f.remaining)) return std::nullopt;
  if (!intMember("code", -1000000, 1000000, &f.code)) return std::nullopt;
  // A delay longer than the library's 30 s time-out is allowed on purpose, but
  // bounded so that a typo cannot park a worker thread for hours.
  if (!intMember("delay_ms", 0, 120000, &f.delayMs)) return std::nullopt;
  if (!textMember("error", &f.error) || !textMember("url", &f.url) || !textMember("title", &f.title))
    return std::nullopt;
  QJsonValue refresh = o.value(QLatin1String("refresh"));
  if (!refresh.isUndefined()) {
    if (!refresh.isBool()) return fail(QStringLiteral("\"refresh\" must be true or false"));
    f.refresh = refresh.toBool();
  }
  QJsonValue methods = o.value(QLatin1String("methods"));
  if (!methods.isUndefined() && !methods.isNull()) {
    if (!methods.isArray()) return fail(QStringLiteral("\"methods\" must be an array of method names"));
    for (const QJsonValue& m : methods.toArray()) {
      if (!m.isString()) return fail(QStringLiteral("\"methods\" must be an array of method names"));
      f.methods << m.toString();
    }
  }
  if (f.kind == Kind::Code && f.code == 0) return fail(QStringLiteral("a \"code\" fault needs a non-zero code"));
  return f;
}

QJsonObject Fault::toJson() const {
  QJsonObject o{{"kind", kindName(kind)},     {"count", remaining}, {"code", code},
                {"error", error},              {"url", url},         {"title", title},
                {"refresh", refresh},          {"delay_ms", delayMs}};
  o.insert(QStringLiteral("methods"), QJsonArray::fromStringList(methods));
  return o;
}

bool FaultQueue::add(const Fault& fault) {
  return db_.run("INSERT INTO faults (settings, remaining) VALUES (?1, ?2)",
                 {QJsonDocument(fault.toJson()).toJson(QJsonDocument::Compact).toStdString(), std::int64_t(fault.remaining)});
}

bool FaultQueue::clear() { return db_.run("DELETE FROM faults"); }

std::optional<Fault> FaultQueue::take(const QString& method) {
  const std::optional<DbRows> rows = db_.query("SELECT id, settings FROM faults WHERE remaining > 0 ORDER BY id");
  for (const DbRow& row : rows.value_or(DbRows{})) {
    std::optional<Fault> fault =
        Fault::fromJson(QJsonDocument::fromJson(QByteArray::fromStdString(row.text(1))).object(), nullptr);
    if (!fault || (!fault->methods.isEmpty() && !fault->methods.contains(method))) continue;
    // Counted down in one statement: of two instances that read the same
    // last use, one gets it and the other goes on to the next fault.
    const std::optional<DbRows> left = db_.query(
        "UPDATE faults SET remaining = remaining - 1 WHERE id = ?1 AND remaining > 0 RETURNING remaining", {row.integer(0)});
    if (!left || left->empty()) continue;
    fault->remaining = static_cast<int>(left->front().integer(0)) + 1;
    if (left->front().integer(0) <= 0) db_.run("DELETE FROM faults WHERE id = ?1 AND remaining <= 0", {row.integer(0)});
    return fault;
  }
  return std::nullopt;
}

QJsonArray FaultQueue::toJson() const {
  QJsonArray list;
  const std::optional<DbRows> rows = db_.query("SELECT settings, remaining FROM faults WHERE remaining > 0 ORDER BY id");
  for (const DbRow& row : rows.value_or(DbRows{})) {
    QJsonObject fault = QJsonDocument::fromJson(QByteArray::fromStdString(row.text(0))).object();
    fault.insert(QStringLiteral("count"), qint64(row.integer(1)));
    list.append(fault);
  }
  return list;
}

}  // namespace brelvo::service
