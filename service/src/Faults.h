#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace brelvo::service {

class Database;

// A misbehaviour the service shows for the next `remaining` library requests
// (of the listed methods, or of any method when the list is empty). Delay
// waits delay_ms before handling the request; Hold handles and stores it
// first and then waits delay_ms before answering, as a connection lost after
// the service's commit looks to the device.
struct Fault {
  enum class Kind { Empty, Html, Code, Delay, Drop, Hold };
  Kind kind = Kind::Empty;
  int remaining = 1;
  int code = 3;
  QString error = QStringLiteral("Injected error");
  QString url;
  QString title;
  bool refresh = true;
  int delayMs = 0;
  QStringList methods;

  // From the admin request's JSON; nothing with a message when it is invalid.
  static std::optional<Fault> fromJson(const QJsonObject& o, QString* error);
  QJsonObject toJson() const;
  static QString kindName(Kind kind);
};

// The queue of armed faults, kept in the database so that every instance on
// it shows them. The first armed fault that applies to a method is taken
// (and counted down) for each library request, by one instance only.
class FaultQueue {
 public:
  explicit FaultQueue(Database& db) : db_(db) {}

  bool add(const Fault& fault);
  bool clear();
  std::optional<Fault> take(const QString& method);
  QJsonArray toJson() const;

 private:
  Database& db_;
};

}  // namespace brelvo::service
