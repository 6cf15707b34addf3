#include "Server.h"

#include "Dashboard.h"
#include "Database.h"
#include "FileStore.h"
#include "Images.h"
#include "Protocol.h"
#include "Records.h"
#include "Seed.h"

#include <httplib.h>

#include <QDateTime>
#include <QJsonDocument>
#include <QRegularExpression>

#include <chrono>

namespace brelvo::service {
namespace {

constexpr const char* kJson = "application/json";

void sendJson(httplib::Response& res, const QJsonObject& o, int status = 200) {
  res.status = status;
  res.set_content(QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString(), kJson);
}

void sendEnvelope(httplib::Response& res, const QByteArray& body, int status = 200) {
  res.status = status;
  res.set_content(body.toStdString(), kJson);
}

// Rows per listing on a dashboard page, and the most any page may ask for.
constexpr std::int64_t kDashboardPage = 50;
constexpr std::int64_t kLargestPage = 5000;

// ?limit=N&cursor=C of a listing; no value when the limit is not a number in range.
std::optional<PageRequest> pageRequest(const httplib::Request& req, std::int64_t defaultLimit) {
  PageRequest page{.limit = defaultLimit, .cursor = QString::fromStdString(req.get_param_value("cursor"))};
  if (req.has_param("limit")) {
    bool ok = false;
    page.limit = QString::fromStdString(req.get_param_value("limit")).toLongLong(&ok);
    if (!ok || page.limit < 1 || page.limit > kLargestPage) return std::nullopt;
  }
  return page;
}

// A record's id from the query or a posted form: 0 when absent or empty, no
// value when it is not a whole number from 1 up.
std::optional<std::int64_t> idParam(const httplib::Request& req, const char* name) {
  const std::string text = req.get_param_value(name);
  if (text.empty()) return 0;
  bool ok = false;
  const std::int64_t id = QString::fromStdString(text).toLongLong(&ok);
  if (!ok || id < 1) return std::nullopt;
  return id;
}

void sendMessage(httplib::Response& res, bool ok, const QString& message) {
  sendJson(res, QJsonObject{{ok ? "message" : "error", message}}, ok ? 200 : 400);
}

void sendUnreachable(httplib::Response& res) {
  sendJson(res, QJsonObject{{"error", QStringLiteral("the database is unreachable")}}, 503);
}

// The stored bytes a record's path names, or 404 with `missing`.
void sendStored(httplib::Response& res, FileStore& files, const std::optional<QString>& path, const char* type,
                const char* missing) {
  const std::optional<QByteArray> bytes = path ? files.read(*path) : std::nullopt;
  if (!bytes) {
    res.status = 404;
    res.set_content(missing, "text/plain");
    return;
  }
  res.set_content(bytes->toStdString(), type);
}

// The page draws nothing from elsewhere and runs only its own script, so
// nothing a device sent can run in the reader's browser even if it slipped
// through unescaped.
constexpr const char* kDashboardPolicy =
    "default-src 'self'; img-src 'self'; object-src 'none'; base-uri 'none'; form-action 'self'";

}  // namespace

Server::Server(Database& db, Protocol& protocol, ServerOptions options)
    : db_(db),
      protocol_(protocol),
      options_(std::move(options)),
      faults_(db),
      http_(std::make_unique<HttpServer>(ConnectionLimits{
          .requestTime = options_.requestTime,
          .perClient = options_.connectionsPerClient,
          .busyBody = Protocol::errorBody(kInternal, QStringLiteral("Too many connections from this address")).toStdString()})) {
  HttpServer& http = *http_;
  http.set_payload_max_length(options_.maxBodyBytes);
  http.set_keep_alive_timeout(2);

  http.Post(R"(/api/([^/]+)/lib/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
    handleLibrary(req, res);
  });
  http.Get(R"(/api/([^/]+)/lib/([^/]*))", [this](const httplib::Request& req, httplib::Response& res) {
    int code = kNotPost;
    std::int64_t none = 0;
    logRequest(QString::fromStdString(req.matches[2].str()), &none, req.body.size(), &code, QString());
    sendEnvelope(res, Protocol::errorBody(kNotPost, QStringLiteral("The library's methods only accept POST")), 405);
    res.set_header("Allow", "POST");
  });

  http.Get("/", [this](const httplib::Request& req, httplib::Response& res) {
    std::optional<PageRequest> page = pageRequest(req, kDashboardPage);
    std::optional<std::int64_t> build = idParam(req, "build"), tester = idParam(req, "tester");
    std::optional<QByteArray> html =
        page && build && tester ? dashboardHtml(db_, DashboardRequest{.page = *page, .build = *build, .tester = *tester})
                                : std::nullopt;
    if (!html) {
      res.status = 400;
      res.set_content("bad limit, cursor, build or tester\n", "text/plain");
      return;
    }
    res.set_header("Content-Security-Policy", kDashboardPolicy);
    res.set_content(html->toStdString(), "text/html; charset=utf-8");
  });
  http.Get("/dashboard.css", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(kDashboardCss, "text/css; charset=utf-8");
  });
  http.Get("/dashboard.js", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(kDashboardScript, "text/javascript; charset=utf-8");
  });
  http.Get("/admin/stamp", [this](const httplib::Request&, httplib::Response& res) {
    sendJson(res, QJsonObject{{"stamp", dashboardStamp(db_)}});
  });
  http.Post("/admin/apps", [this](const httplib::Request& req, httplib::Response& res) {
    QString message;
    const bool ok = addApp(db_, QString::fromStdString(req.get_param_value("project_key")),
                           QString::fromStdString(req.get_param_value("app_id")),
                           QString::fromStdString(req.get_param_value("version")), &message);
    sendMessage(res, ok, message);
  });
  http.Post("/admin/requirements", [this](const httplib::Request& req, httplib::Response& res) {
    const std::optional<std::int64_t> build = idParam(req, "build");
    if (!build || !*build) return sendMessage(res, false, QStringLiteral("build must name a build by its id"));
    QJsonObject fields;
    for (const char* key : {"rid", "code", "kind", "priority", "title", "description", "actor", "action", "exp_result",
                            "reference", "number", "status"}) {
      const std::string value = req.get_param_value(key);
      if (!value.empty()) fields.insert(QLatin1String(key), QString::fromStdString(value));
    }
    QString message;
    const bool ok = saveRequirement(db_, *build, fields, &message);
    sendMessage(res, ok, message);
  });
  http.Post("/admin/reset-statuses", [this](const httplib::Request& req, httplib::Response& res) {
    const std::optional<std::int64_t> build = idParam(req, "build"), rid = idParam(req, "rid"), tester = idParam(req, "tester");
    if (!build || !*build) return sendMessage(res, false, QStringLiteral("build must name a build by its id"));
    if (!rid || !tester) return sendMessage(res, false, QStringLiteral("rid and tester must be whole numbers when given"));
    QString message;
    const bool ok = resetStatuses(db_, *build, *rid, *tester, &message);
    sendMessage(res, ok, message);
  });
  http.Get("/admin/records", [this](const httplib::Request& req, httplib::Response& res) {
    std::optional<PageRequest> page = pageRequest(req, PageRequest().limit);
    std::optional<QJsonObject> records = page ? recordsJson(db_, *page) : std::nullopt;
    if (!records) {
      sendJson(res, QJsonObject{{"error", QStringLiteral("bad limit or cursor")}}, 400);
      return;
    }
    sendJson(res, *records);
  });
  http.Get("/admin/faults", [this](const httplib::Request&, httplib::Response& res) {
    sendJson(res, QJsonObject{{"faults", faults_.toJson()}});
  });
  http.Post("/admin/faults", [this](const httplib::Request& req, httplib::Response& res) { handleAdminFaults(req, res); });
  http.Post("/admin/reset-faults", [this](const httplib::Request&, httplib::Response& res) {
    if (!faults_.clear()) return sendUnreachable(res);
    sendJson(res, QJsonObject{{"faults", QJsonArray()}});
  });

  http.Get(R"(/static/([A-Za-z0-9_-]{1,64})\.png)", [](const httplib::Request& req, httplib::Response& res) {
    QByteArray png = iconPng(QString::fromStdString(req.matches[1].str()));
    res.set_content(png.toStdString(), "image/png");
    res.set_header("Cache-Control", "max-age=3600");
  });
  http.Get(R"(/attachments/(\d{1,15}))", [this](const httplib::Request& req, httplib::Response& res) {
    sendStored(res, protocol_.files(), attachmentPath(db_, std::stoll(req.matches[1].str())), "image/png",
               "no such attachment\n");
  });
  http.Get(R"(/crashes/(\d{1,15})\.txt)", [this](const httplib::Request& req, httplib::Response& res) {
    sendStored(res, protocol_.files(), crashLogPath(db_, std::stoll(req.matches[1].str())), "text/plain; charset=utf-8",
               "no such crash\n");
  });

  // Whatever the router or the body reader refused still gets an envelope, so
  // that a client of the library's protocol can read what went wrong.
  http.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request& req, httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    int code = kBadRequest;
    QString text = QStringLiteral("Bad request");
    if (res.status == 413) {
      code = kTooLarge;
      text = QStringLiteral("The request body is too large");
    } else if (res.status == 404) {
      code = kUnknownMethod;
      text = QStringLiteral("Nothing at %1 %2").arg(QString::fromStdString(req.method), QString::fromStdString(req.path));
    }
    res.set_content(Protocol::errorBody(code, text).toStdString(), kJson);
    return httplib::Server::HandlerResponse::Handled;
  }));
  http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const DatabaseUnavailable&) {
      res.status = 503;
      res.set_header("Retry-After", "5");
      res.set_content("The service's database cannot be reached at the moment; try again shortly.\n", "text/plain");
      return;
    } catch (...) {
    }
    res.status = 500;
    res.set_content(Protocol::errorBody(kInternal, QStringLiteral("Internal error")).toStdString(), kJson);
  });
}

Server::~Server() = default;

int Server::bind() {
  if (options_.port == 0) {
    port_ = http_->bind_to_any_port(options_.host);
  } else {
    port_ = http_->bind_to_port(options_.host, options_.port) ? options_.port : -1;
  }
  return port_;
}

bool Server::run() {
  {
    std::lock_guard lock(stopMutex_);
    if (stopping_) return true;
    running_ = true;
  }
  const bool served = http_->listen_after_bind();
  {
    std::lock_guard lock(stopMutex_);
    running_ = false;
  }
  stopCondition_.notify_all();
  return served;
}

void Server::stop() {
  std::unique_lock lock(stopMutex_);
  stopping_ = true;
  stopCondition_.notify_all();
  // The listener ignores a stop that comes before its loop has begun, as a
  // signal right after start-up does, and must be stopped only once: wait
  // for it to run, then stop it, until run() has returned.
  bool listenerStopped = false;
  while (running_) {
    lock.unlock();
    if (!listenerStopped && http_->is_running()) {
      http_->stop();
      listenerStopped = true;
    }
    lock.lock();
    stopCondition_.wait_for(lock, std::chrono::milliseconds(20), [this] { return !running_; });
  }
}

bool Server::pause(int ms) {
  std::unique_lock lock(stopMutex_);
  return !stopCondition_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

QString Server::baseUrl(const httplib::Request& req) const {
  // Addresses in answers must work from the device, so they follow the Host
  // the device used; a malformed Host falls back to our own address.
  static const QRegularExpression hostPattern(QStringLiteral(R"(^[A-Za-z0-9.\-]+(:\d{1,5})?$|^\[[0-9A-Fa-f:.]+\](:\d{1,5})?$)"));
  QString host = QString::fromStdString(req.get_header_value("Host"));
  if (host.isEmpty() || host.size() > 255 || !hostPattern.match(host).hasMatch()) {
    host = QStringLiteral("%1:%2").arg(QString::fromStdString(options_.host)).arg(port_);
  }
  return QStringLiteral("http://") + host;
}

void Server::logRequest(const QString& method, std::int64_t* sessionId, std::size_t bytes, int* code, const QString& fault) {
  db_.run("INSERT INTO requests (received_at, method, session_id, body_bytes, response_code, fault)"
          " VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
          {std::int64_t(QDateTime::currentSecsSinceEpoch()), method.left(200).toStdString(),
           sessionId && *sessionId ? DbValue(*sessionId) : DbValue(std::monostate{}),
           std::int64_t(bytes), code ? DbValue(std::int64_t(*code)) : DbValue(std::monostate{}),
           fault.isEmpty() ? DbValue(std::monostate{}) : DbValue(fault.toStdString())});
}

void Server::handleLibrary(const httplib::Request& req, httplib::Response& res) {
  const QString version = QString::fromStdString(req.matches[1].str());
  const QString method = QString::fromStdString(req.matches[2].str());

  QString faultName;
  int holdMs = 0;
  if (std::optional<Fault> fault = faults_.take(method)) {
    faultName = Fault::kindName(fault->kind);
    switch (fault->kind) {
      case Fault::Kind::Empty:
        logRequest(method, nullptr, req.body.size(), nullptr, faultName);
        res.status = 200;
        res.set_content("", kJson);
        return;
      case Fault::Kind::Html:
        logRequest(method, nullptr, req.body.size(), nullptr, faultName);
        res.status = 502;
        res.set_content(
            "<html><head><title>502 Bad Gateway</title></head><body><h1>502 Bad Gateway</h1>"
            "<p>The upstream server did not answer.</p></body></html>\n",
            "text/html");
        return;
      case Fault::Kind::Code: {
        int code = fault->code;
        logRequest(method, nullptr, req.body.size(), &code, faultName);
        sendEnvelope(res, Protocol::errorBody(fault->code, fault->error, fault->refresh, fault->url, fault->title));
        return;
      }
      case Fault::Kind::Drop:
        logRequest(method, nullptr, req.body.size(), nullptr, faultName);
        HttpServer::dropCurrentConnection();
        return;
      case Fault::Kind::Delay:
        if (!pause(fault->delayMs)) {  // stopping: nobody waits for this answer any more
          HttpServer::dropCurrentConnection();
          return;
        }
        break;  // then answer as usual
      case Fault::Kind::Hold:
        holdMs = fault->delayMs;
        break;
    }
  }

  Answer answer = version == QLatin1String("1_0")
                      ? protocol_.handle(method, QByteArray::fromStdString(req.body), baseUrl(req),
                                         QString::fromStdString(req.get_header_value(kDeliveryIdHeader)))
                      : Answer{Protocol::errorBody(kUnknownMethod, QStringLiteral("Unknown API version \"%1\"").arg(version)),
                               kUnknownMethod, std::nullopt};
  std::int64_t session = answer.sessionId.value_or(0);
  logRequest(method, &session, req.body.size(), &answer.responseCode, faultName);
  if (holdMs > 0 && !pause(holdMs)) {  // stored, but stopping: nobody waits for this answer any more
    HttpServer::dropCurrentConnection();
    return;
  }
  sendEnvelope(res, answer.body);
}

void Server::handleAdminFaults(const httplib::Request& req, httplib::Response& res) {
  QJsonParseError error{};
  QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(req.body), &error);
  if (!doc.isObject()) {
    sendJson(res, QJsonObject{{"error", QStringLiteral("the body must be a JSON object")}}, 400);
    return;
  }
  QString message;
  std::optional<Fault> fault = Fault::fromJson(doc.object(), &message);
  if (!fault) {
    sendJson(res, QJsonObject{{"error", message}}, 400);
    return;
  }
  if (!faults_.add(*fault)) return sendUnreachable(res);
  sendJson(res, QJsonObject{{"faults", faults_.toJson()}});
}

}  // namespace brelvo::service
