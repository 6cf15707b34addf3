#include "Faults.h"

#include <QJsonArray>

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

void FaultQueue::add(const Fault& fault) {
  std::lock_guard lock(mutex_);
  faults_.push_back(fault);
}

void FaultQueue::clear() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

std::optional<Fault> FaultQueue::take(const QString& method) {
  std::lock_guard lock(mutex_);
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (!it->methods.isEmpty() && !it->methods.contains(method)) continue;
    Fault taken = *it;
    if (--it->remaining <= 0) faults_.erase(it);
    return taken;
  }
  return std::nullopt;
}

QJsonArray FaultQueue::toJson() const {
  std::lock_guard lock(mutex_);
  QJsonArray list;
  for (const Fault& f : faults_) list.append(f.toJson());
  return list;
}

}  // namespace brelvo::service
