#include "HttpServer.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace brelvo::service {
namespace {

using Clock = std::chrono::steady_clock;

// Room for the request line and headers on top of the largest body.
constexpr std::uint64_t kHeaderAllowance = 64 * 1024;
// How long a refused request's unread body is drained so that the client reads
// our answer instead of a reset.
constexpr auto kLinger = std::chrono::seconds(1);

int millisecondsUntil(Clock::time_point when) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, std::numeric_limits<int>::max()));
}

// Whether the socket became ready for the events within ms milliseconds.
bool waitFor(int sock, short events, int ms) {
  pollfd p{sock, events, 0};
  for (;;) {
    int r = poll(&p, 1, ms);
    if (r < 0 && errno == EINTR) continue;
    return r > 0;
  }
}

// Numeric host and port of one end of a socket.
void describe(int sock, bool peer, std::string& host, int& port) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  int r = peer ? getpeername(sock, reinterpret_cast<sockaddr*>(&addr), &len)
               : getsockname(sock, reinterpret_cast<sockaddr*>(&addr), &len);
  char name[NI_MAXHOST];
  char service[NI_MAXSERV];
  if (r != 0 || getnameinfo(reinterpret_cast<const sockaddr*>(&addr), len, name, sizeof name, service, sizeof service,
                            NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    host.clear();
    port = -1;
    return;
  }
  host = name;
  port = std::atoi(service);
}

// A socket read under one deadline and a byte budget for the whole request;
// writes wait at most the write time-out for room in the socket.
class DeadlineStream final : public httplib::Stream {
 public:
  DeadlineStream(int sock, Clock::time_point deadline, std::uint64_t budget, std::chrono::milliseconds writeTimeout)
      : sock_(sock), deadline_(deadline), budget_(budget), writeTimeout_(writeTimeout), buffer_(4096) {}

  bool is_readable() const override { return waitFor(sock_, POLLIN, millisecondsUntil(deadline_)); }
  bool is_writable() const override { return waitFor(sock_, POLLOUT, static_cast<int>(writeTimeout_.count())); }

  ssize_t read(char* ptr, size_t size) override {
    if (offset_ < filled_) return takeBuffered(ptr, size);
    if (budget_ == 0) return -1;
    if (!is_readable()) {  // nothing came before the deadline
      timedOut_ = true;
      return -1;
    }
    // Small reads (the header parser reads byte by byte) go through the buffer.
    const bool buffered = size < buffer_.size();
    char* into = buffered ? buffer_.data() : ptr;
    const size_t want = static_cast<size_t>(std::min<std::uint64_t>(budget_, buffered ? buffer_.size() : size));
    ssize_t n = 0;
    do {
      n = recv(sock_, into, want, 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return n;
    budget_ -= static_cast<std::uint64_t>(n);
    if (!buffered) return n;
    offset_ = 0;
    filled_ = static_cast<size_t>(n);
    return takeBuffered(ptr, size);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (!is_writable()) return -1;
    ssize_t n = 0;
    do {
      n = send(sock_, ptr, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override { describe(sock_, true, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { describe(sock_, false, ip, port); }
  socket_t socket() const override { return sock_; }

  // A read failed because the request's time ran out.
  bool timedOut() const { return timedOut_; }

 private:
  ssize_t takeBuffered(char* ptr, size_t size) {
    size_t n = std::min(size, filled_ - offset_);
    std::copy_n(buffer_.data() + offset_, n, ptr);
    offset_ += n;
    return static_cast<ssize_t>(n);
  }

  int sock_;
  Clock::time_point deadline_;
  std::uint64_t budget_;
  std::chrono::milliseconds writeTimeout_;
  std::vector<char> buffer_;
  size_t offset_ = 0;
  size_t filled_ = 0;
  bool timedOut_ = false;
};

void closeSocket(int sock) {
  shutdown(sock, SHUT_RDWR);
  close(sock);
}

// Closes after an answer sent before the request's body was read: closing with
// unread data would reset the connection and could take the answer with it.
void lingerThenClose(int sock) {
  shutdown(sock, SHUT_WR);
  const auto until = Clock::now() + kLinger;
  char scratch[4096];
  while (waitFor(sock, POLLIN, millisecondsUntil(until))) {
    if (recv(sock, scratch, sizeof scratch, 0) <= 0) break;
  }
  close(sock);
}

}  // namespace

struct HttpServer::Connection {
  int sock;
  bool closeAfterAnswer = false;
};

thread_local HttpServer::Connection* HttpServer::current_ = nullptr;

HttpServer::HttpServer(ConnectionLimits limits) : limits_(std::move(limits)) {
  new_task_queue = [workers = static_cast<size_t>(std::max(1, limits_.workers))] {
    return new httplib::ThreadPool(workers);
  };
  // Headers and body leave in separate writes; with Nagle's algorithm the
  // body waits for the client's delayed acknowledgement (about 40 ms a request).
  set_tcp_nodelay(true);
  set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    return checkContentLength(req, res);
  });
}

void HttpServer::dropCurrentConnection() {
  // Shut down, not close: the connection's loop still owns the descriptor.
  if (current_) shutdown(current_->sock, SHUT_RDWR);
}

void HttpServer::serve(httplib::Stream& stream) {
  for (size_t left = keep_alive_max_count_; left > 0; --left) {
    bool closed = false;
    if (!process_request(stream, left == 1, closed, nullptr) || closed) break;
  }
}

httplib::Server::HandlerResponse HttpServer::checkContentLength(const httplib::Request& req,
                                                                httplib::Response& res) const {
  // The library would otherwise read (and, when too large, skip) the declared
  // length before answering, and it reads "-5" as a huge unsigned number.
  const size_t count = req.get_header_value_count("Content-Length");
  if (count == 0) return HandlerResponse::Unhandled;
  std::optional<std::uint64_t> length;
  bool malformed = false;
  for (size_t i = 0; i < count && !malformed; ++i) {
    const std::string text = req.get_header_value("Content-Length", i);
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    malformed = text.empty() || error != std::errc() || end != text.data() + text.size() || (length && *length != value);
    length = value;
  }
  if (malformed) {
    res.status = 400;
  } else if (*length > payload_max_length_) {
    res.status = 413;
  } else {
    return HandlerResponse::Unhandled;
  }
  // The body was not read, so the connection cannot carry another request.
  res.set_header("Connection", "close");
  if (current_) current_->closeAfterAnswer = true;
  return HandlerResponse::Handled;
}

bool HttpServer::admit(const std::string& address) {
  std::lock_guard lock(clientsMutex_);
  int& count = clients_[address];
  if (count >= limits_.perClient) return false;
  ++count;
  return true;
}

void HttpServer::release(const std::string& address) {
  std::lock_guard lock(clientsMutex_);
  auto it = clients_.find(address);
  if (it != clients_.end() && --it->second <= 0) clients_.erase(it);
}

bool HttpServer::process_and_close_socket(socket_t sock) {
  std::string address;
  int port = -1;
  describe(sock, true, address, port);
  if (!admit(address)) {
    const std::string answer = "HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\nConnection: close\r\n"
                               "Retry-After: 1\r\nContent-Length: " +
                               std::to_string(limits_.busyBody.size()) + "\r\n\r\n" + limits_.busyBody;
    (void)send(sock, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    closeSocket(sock);
    return false;
  }

  const std::uint64_t budget = payload_max_length_ >= std::numeric_limits<std::uint64_t>::max() - kHeaderAllowance
                                   ? std::numeric_limits<std::uint64_t>::max()
                                   : payload_max_length_ + kHeaderAllowance;
  const std::chrono::milliseconds writeTimeout(write_timeout_sec_ * 1000 + write_timeout_usec_ / 1000);
  Connection connection{sock};
  current_ = &connection;
  bool ok = false;
  for (size_t left = keep_alive_max_count_; left > 0; --left) {
    // Idle between requests for at most the keep-alive time; the request's
    // own clock starts with its first byte.
    const auto idleUntil = Clock::now() + std::chrono::seconds(keep_alive_timeout_sec_);
    bool ready = false;
    while (!ready && svr_sock_ != INVALID_SOCKET && Clock::now() < idleUntil) {
      ready = waitFor(sock, POLLIN, std::min(100, millisecondsUntil(idleUntil)));
    }
    if (!ready || svr_sock_ == INVALID_SOCKET) break;

    DeadlineStream stream(sock, Clock::now() + limits_.requestTime, budget, writeTimeout);
    bool closed = false;
    ok = process_request(stream, left == 1, closed, nullptr);
    if (!ok || closed || connection.closeAfterAnswer || stream.timedOut()) break;
  }
  current_ = nullptr;
  // Released first: a client that reconnects as soon as it sees the close
  // must not find its own old connection still counted.
  release(address);
  if (connection.closeAfterAnswer) {
    lingerThenClose(sock);
  } else {
    closeSocket(sock);
  }
  return ok;
}

}  // namespace brelvo::service
