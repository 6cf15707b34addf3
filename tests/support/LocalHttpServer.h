#pragma once

#include "support/TestSupport.h"

#include <QString>

#include <httplib.h>

#include <thread>

namespace brelvo::test {

// A real HTTP server on a free loopback port, answering on a thread of its
// own as the test's routes say. Add the routes, then start().
class LocalHttpServer {
public:
    LocalHttpServer() = default;
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;
    ~LocalHttpServer() { stop(); }

    httplib::Server& server() { return server_; }

    void start() {
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        waitFor([this] { return server_.is_running(); });
    }

    void stop() {
        if (!thread_.joinable()) return;
        server_.stop();
        thread_.join();
    }

    int port() const { return port_; }
    // "http://127.0.0.1:<port>/" followed by the path.
    QString url(const QString& path = QString()) const {
        return QStringLiteral("http://127.0.0.1:%1/").arg(port_) + path;
    }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace brelvo::test
