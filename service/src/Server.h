#pragma once

#include "Faults.h"
#include "HttpServer.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace brelvo::service {

class Database;
class Protocol;

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 8642;
  std::size_t maxBodyBytes = std::size_t(64) << 20;
  std::chrono::milliseconds requestTime{5000};  // see ConnectionLimits
  int connectionsPerClient = 16;
};

// The HTTP face of the service: the library's methods under /api/1_0/lib/,
// the admin endpoints, the dashboard and the static pictures.
class Server {
 public:
  Server(Database& db, Protocol& protocol, ServerOptions options);
  ~Server();

  // Binds and listens; returns the port (the chosen one for port 0), or -1.
  int bind();
  // Serves until stop(); returns false when serving failed.
  bool run();
  // Ends run(), also one that has not yet begun to listen, and returns once it
  // has returned; a later run() returns at once. Safe from any thread (not
  // from a signal handler).
  void stop();

  // Answers the requests read from the stream without a socket (see HttpServer::serve).
  void serve(httplib::Stream& stream) { http_->serve(stream); }

 private:
  void handleLibrary(const httplib::Request& req, httplib::Response& res);
  void handleAdminFaults(const httplib::Request& req, httplib::Response& res);
  QString baseUrl(const httplib::Request& req) const;
  // Waits up to ms milliseconds; false when the server is stopping.
  bool pause(int ms);
  void logRequest(const QString& method, std::int64_t* sessionId, std::size_t bytes, int* code, const QString& fault);

  Database& db_;
  Protocol& protocol_;
  ServerOptions options_;
  int port_ = -1;
  FaultQueue faults_;
  std::unique_ptr<HttpServer> http_;
  std::mutex stopMutex_;
  std::condition_variable stopCondition_;
  bool stopping_ = false;
  bool running_ = false;  // inside run()
};

}  // namespace brelvo::service
