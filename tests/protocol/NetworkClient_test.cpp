#include "protocol/BVReachability.h"
#include "protocol/DeliveryId.h"
#include "protocol/NetworkClientBrelvo.h"
#include "state/UserHelperBrelvo.h"
#include "support/LocalHttpServer.h"

#include <QCoreApplication>

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

using brelvo::NetworkClientBrelvo;

namespace {

class NetworkClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.start();
        qApp->setProperty("brelvo_service_url", server.url());
        client.setTimeout(std::chrono::milliseconds(3000));
    }
    void TearDown() override { qApp->setProperty("brelvo_service_url", QVariant()); }
    brelvo::test::LocalHttpServer server;
    NetworkClientBrelvo client;
};

}  // namespace

TEST_F(NetworkClientTest, PostsTheBodyAsJsonToTheMethodsUrlOverAConnectionKeptOpen) {
    std::string path, method, contentType, expect, body;
    std::vector<std::string> deliveryIds;
    std::vector<int> clientPorts;
    server.server().Post(R"(/api/1_0/lib/(\w+))", [&](const httplib::Request& req, httplib::Response& res) {
        clientPorts.push_back(req.remote_port);
        path = req.path;
        method = req.method;
        contentType = req.get_header_value("Content-Type");
        expect = req.get_header_value("Expect");
        body = req.body;
        deliveryIds.push_back(req.has_header(brelvo::delivery::kHeader) ? req.get_header_value(brelvo::delivery::kHeader)
                                                                        : "(none)");
        res.set_content(R"({"response_code":0})", "application/json");
    });
    const QByteArray large(3 * 1024 * 1024, 'a');  // large enough that a client might ask to continue first
    EXPECT_EQ(client.makePOSTRequestWithMethod(QStringLiteral("requirement_result"), large),
              QStringLiteral(R"({"response_code":0})"));
    EXPECT_EQ(path, "/api/1_0/lib/requirement_result");
    EXPECT_EQ(method, "POST");
    EXPECT_EQ(contentType, "application/json");
    EXPECT_EQ(expect, "");
    EXPECT_EQ(body.size(), static_cast<size_t>(large.size()));
    // A resendable report names itself in a header; the body is untouched.
    const QString id = brelvo::delivery::newId();
    client.makePOSTRequestWithMethod(QStringLiteral("post_crash"), "{}", id);
    EXPECT_EQ(body, "{}");
    EXPECT_EQ(deliveryIds, (std::vector<std::string>{"(none)", id.toStdString()}));
    // The second request came over the connection the first left open.
    ASSERT_EQ(clientPorts.size(), 2u);
    EXPECT_EQ(clientPorts[0], clientPorts[1]);
    EXPECT_TRUE(brelvo::delivery::isId(id)) << id.toStdString();
    EXPECT_NE(brelvo::delivery::newId(), id);
    EXPECT_EQ(NetworkClientBrelvo::urlForMethod(QStringLiteral("auth")), server.url() + QStringLiteral("api/1_0/lib/auth"));
}

TEST_F(NetworkClientTest, AnyStatusGivesTheWholeBodyAndNoBytesGiveNone) {
    server.server().Post("/api/1_0/lib/error", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_content("<html><body>Internal error</body></html>", "text/html");
    });
    server.server().Post("/api/1_0/lib/empty", [](const httplib::Request&, httplib::Response& res) { res.status = 200; });
    EXPECT_EQ(client.makePOSTRequestWithMethod(QStringLiteral("error"), "{}"),
              QStringLiteral("<html><body>Internal error</body></html>"));
    EXPECT_EQ(client.makePOSTRequestWithMethod(QStringLiteral("missing"), "{}"), QString());  // 404 with an empty body
    const QString none = client.makePOSTRequestWithMethod(QStringLiteral("empty"), "{}");
    EXPECT_TRUE(none.isNull());

    const std::string big(40 * 1024 * 1024, 'z');
    server.server().Post("/api/1_0/lib/big", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(big, "application/json");
    });
    const QString answer = client.makePOSTRequestWithMethod(QStringLiteral("big"), "{}");
    EXPECT_EQ(answer.size(), static_cast<qsizetype>(big.size()));
}

TEST_F(NetworkClientTest, AnAnswerThatNeverComesEndsAtTheTimeOut) {
    std::atomic<bool> release{false};
    server.server().Post("/api/1_0/lib/slow", [&](const httplib::Request&, httplib::Response& res) {
        for (int i = 0; i < 200 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        res.set_content("late", "text/plain");
    });
    client.setTimeout(std::chrono::milliseconds(300));
    // Without the time-out the handler's late answer would arrive.
    EXPECT_TRUE(client.makePOSTRequestWithMethod(QStringLiteral("slow"), "{}").isNull());
    release = true;
}

TEST(NetworkClientOffline, RefusedConnectionGivesNoneAndAnUnresolvableHostIsOfflineWithoutARequest) {
    // A port nothing listens on: reachable host, refused connection.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(fd);
    qApp->setProperty("brelvo_service_url", QStringLiteral("http://127.0.0.1:%1/").arg(ntohs(address.sin_port)));
    NetworkClientBrelvo client;
    client.setTimeout(std::chrono::milliseconds(5000));
    const QString answer = client.makePOSTRequestWithMethod(QStringLiteral("auth"), "{}");
    EXPECT_TRUE(answer.isNull());

    brelvo::BVReachability::setResolveTimeout(2000);
    qApp->setProperty("brelvo_service_url", QStringLiteral("http://no-such-host.invalid/"));
    const QString offline = client.makePOSTRequestWithMethod(QStringLiteral("auth"), "{}");
    EXPECT_FALSE(offline.isNull());
    EXPECT_TRUE(offline.isEmpty());
    EXPECT_EQ(brelvo::UserHelperBrelvo::shared().errorInfo().errorMessage(), QStringLiteral("No internet connection"));
}

TEST(NetworkClientState, StartsWithEmptyTextsAndTheDefaultTimeOut) {
    NetworkClientBrelvo& client = NetworkClientBrelvo::shared();
    EXPECT_EQ(client.access_token(), QStringLiteral(""));
    EXPECT_FALSE(client.access_token().isNull());
    EXPECT_FALSE(client.uid().isNull());
    EXPECT_FALSE(client.rrid().isNull());
    EXPECT_EQ(client.timeout(), std::chrono::milliseconds(30000));
}
