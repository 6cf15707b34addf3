#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>

namespace brelvo::service {

struct ConnectionLimits {
  // From a request's first byte until its whole body has arrived. The HTTP
  // library's own time-out counts per read, so a client sending one byte at a
  // time would never run out of it.
  std::chrono::milliseconds requestTime{5000};
  // Connections served at once for one client address; further ones are
  // answered 503 and closed, so one address cannot take every worker.
  int perClient = 16;
  // Workers serving connections.
  int workers = 64;
  // Answer body for a connection turned away.
  std::string busyBody;
};

// The HTTP library's server with the connection handling replaced: requests
// are read under a deadline, each client address gets a bounded share of the
// workers, and Content-Length is judged from the header before any body is read.
class HttpServer : public httplib::Server {
 public:
  explicit HttpServer(ConnectionLimits limits);

  // From a handler: shuts the current request's connection down without an
  // answer.
  static void dropCurrentConnection();

  // Answers the requests read from the stream one after another, as on one
  // connection but without its deadline or address share: the request
  // handling driven without a socket.
  void serve(httplib::Stream& stream);

 private:
  struct Connection;

  bool process_and_close_socket(socket_t sock) override;
  HandlerResponse checkContentLength(const httplib::Request& req, httplib::Response& res) const;
  // Counts the connection against its address; false when the address is at its share.
  bool admit(const std::string& address);
  void release(const std::string& address);

  static thread_local Connection* current_;

  ConnectionLimits limits_;
  std::mutex clientsMutex_;
  std::map<std::string, int> clients_;
};

}  // namespace brelvo::service
