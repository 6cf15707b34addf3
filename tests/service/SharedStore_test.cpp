// Services that share one PostgreSQL database, and a database that goes away
// under a running service and comes back.
#include <QJsonArray>
#include <QJsonDocument>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

#include "ServiceHarness.h"

namespace brelvo::service::test {
namespace {

int code(const QJsonObject& answer) { return answer.value("response_code").toInt(-1); }
QJsonObject parse(const std::string& body) { return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object(); }

// An answer that tells the library the report was not taken: an envelope with a
// non-zero code or a server error. No answer at all (a hang past the client's
// time-out, a dropped connection) is not one.
bool refused(const httplib::Result& r) { return r && (r->status >= 500 || code(parse(r->body)) != 0); }

std::string issueWithSubject(const std::string& token, const std::string& subject, const std::string& attachments = "[]") {
  return issueBody(token, "0",
                   R"({"tracker":"1","priority":"1","subject":")" + subject + R"(","description":"","attachments":)" +
                       attachments + "}");
}

class SharedStore : public ServiceFixture {
 protected:
  void SetUp() override {
    if (!onPostgres()) GTEST_SKIP() << "PostgreSQL only: a SQLite file belongs to one service";
    ServiceFixture::SetUp();
    if (IsSkipped()) return;
    ASSERT_TRUE(other_.start(dir_)) << "the second brelvo-service did not start";
    otherClient_ = std::make_unique<ServiceClient>(other_.port());
  }
  void TearDown() override {
    if (other_.running()) {
      EXPECT_EQ(other_.stop(), 0);
    }
    ServiceFixture::TearDown();
  }

  ServiceProcess other_;
  std::unique_ptr<ServiceClient> otherClient_;
};

TEST_F(SharedStore, TwoServicesOnOneDatabaseSeeAndShareEverything) {
  ServiceClient& a = *client_;
  ServiceClient& b = *otherClient_;
  const std::string token = signIn();  // through a; everything below goes to b
  const QByteArray shot("shared screenshot \x00\x01\x02\xff", 22);
  const QByteArray log = "Fatal signal 6 (SIGABRT)\n#0 0x401000 NotesWindow::close() notes.cpp:7\n";
  ASSERT_EQ(code(b.call("post_issue", issueWithSubject(token, "Shared%20store",
                                                       R"([{"name":"Screenshot1.png","file":")" + base64(shot) + R"("}])"))),
            0);
  ASSERT_EQ(code(b.call("post_crash", crashBodyWithToken(token, base64(log), R"({"model":"Desktop"})"))), 0);
  ASSERT_EQ(code(b.call("post_logs", logsBody(token, logEntry("info", "written through the second", 1700000001)))), 0);
  // A session that b opened is one that a knows.
  const std::string tokenOfB = b.call("auth", authBody(kDemoKey, appId(kDemoBundle, "2.4"), "AD-2_fp-2"))
                                   .value("payload").toObject().value("access_token").toString().toStdString();
  ASSERT_FALSE(tokenOfB.empty());
  EXPECT_EQ(code(a.call("track_state", trackStateBody(tokenOfB, "resume", 1700000002))), 0);

  for (ServiceClient* client : {&a, &b}) {
    SCOPED_TRACE(client == &a ? "first service" : "second service");
    const QJsonObject records = client->records();
    EXPECT_EQ(records.value("sessions").toArray().size(), 2);
    EXPECT_EQ(records.value("state_events").toArray().size(), 1);
    EXPECT_EQ(records.value("log_batches").toArray().size(), 1);
    const QJsonArray issues = records.value("issues").toArray();
    const QJsonArray crashes = records.value("crashes").toArray();
    ASSERT_EQ(issues.size(), 1);
    ASSERT_EQ(crashes.size(), 1);
    const QJsonArray attachments = issues[0].toObject().value("attachments").toArray();
    ASSERT_EQ(attachments.size(), 1);
    const std::string attachmentId = std::to_string(attachments[0].toObject().value("id").toInt());
    const std::string crashId = std::to_string(crashes[0].toObject().value("id").toInt());
    EXPECT_EQ(client->bytes("/attachments/" + attachmentId), shot);
    EXPECT_EQ(client->bytes("/crashes/" + crashId + ".txt"), log);
    const std::string page = client->bytes("/").toStdString();
    EXPECT_NE(page.find("Shared store"), std::string::npos);
    EXPECT_NE(page.find("/attachments/" + attachmentId), std::string::npos);
    EXPECT_NE(page.find("crash-" + crashId + "-stack"), std::string::npos);
    EXPECT_NE(page.find("written through the second"), std::string::npos);
  }

  // One crash delivered to both at once (a library retrying through another
  // instance) is kept once; each round races the two inserts afresh.
  const char* ids[] = {"0123456789abcdef0123456789abcdef", "fedcba9876543210fedcba9876543210",
                       "00112233445566778899aabbccddeeff"};
  for (const char* id : ids) {
    int answers[2] = {-2, -2};
    const auto send = [&](int which, int port) {
      ServiceClient client(port);
      httplib::Result r = client.post("post_crash", crashBodyWithToken(token, base64("raced"), "{}"), "application/json",
                                      {{"Brelvo-Delivery-Id", id}});
      if (r) answers[which] = code(parse(r->body));
    };
    std::thread second(send, 1, other_.port());
    send(0, service_.port());
    second.join();
    EXPECT_EQ(answers[0], 0) << id;
    EXPECT_EQ(answers[1], 0) << id;
  }
  EXPECT_EQ(a.records().value("crashes").toArray().size(), static_cast<qsizetype>(1 + std::size(ids)));

  // A fault armed through one instance meets a request sent to the other.
  a.admin("/admin/faults", R"({"kind":"code","code":9,"count":1,"methods":["post_logs"]})");
  EXPECT_EQ(code(b.call("post_logs", logsBody(token, ""))), 9);
}

// postgres.sh on a cluster of the test's own; its exit code.
int postgresSh(const std::string& action, const std::string& dir) {
  const int status = std::system((std::string(BRELVO_POSTGRES_SH) + " " + action + " '" + dir + "'").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A test's folder with a cluster of its own in it; both go with the test, however it ends.
struct OwnCluster {
  std::string dir;
  std::string cluster = dir + "/cluster";
  ~OwnCluster() {
    postgresSh("remove", cluster);
    removeStore(dir);
  }
};

TEST(SharedStoreOutage, ADatabaseRestartedUnderTheServiceLosesNoAcknowledgedReport) {
  if (!onPostgres()) GTEST_SKIP() << "PostgreSQL only: a SQLite file does not go away";
  if (const std::string why = storeUnavailable(); !why.empty()) GTEST_SKIP() << why;
  char pattern[] = "/tmp/brelvo-service-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const OwnCluster own{pattern};
  chmod(pattern, 0755);  // as root, the cluster's owner is another user, who must reach it
  const std::string& dir = own.dir;
  const std::string& cluster = own.cluster;
  const int started = postgresSh("start", cluster);
  if (started == 77) GTEST_SKIP() << readFile(QString::fromStdString(cluster + "/skip")).trimmed().toStdString();
  ASSERT_EQ(started, 0);
  std::string error;
  const std::string db =
      postgresDatabase(readFile(QString::fromStdString(cluster + "/url")).trimmed().toStdString(), dir, &error);
  ASSERT_FALSE(db.empty()) << error;
  ServiceProcess service;
  ASSERT_TRUE(service.start(dir, {"--db", db}));
  ServiceClient client(service.port());
  const std::string token = client.call("auth", authBody(kDemoKey, appId(kDemoBundle, "2.4")))
                                .value("payload").toObject().value("access_token").toString().toStdString();
  ASSERT_FALSE(token.empty());

  // A tester keeps reporting all along: before, during and after the outage.
  std::mutex mutex;
  std::condition_variable changed;
  std::set<std::string> acknowledged;
  int unanswered = 0;
  std::jthread tester([&](std::stop_token stop) {
    ServiceClient reporter(service.port());
    for (int n = 0; !stop.stop_requested(); ++n) {
      const std::string subject = "report-" + std::to_string(n);
      httplib::Result r = reporter.post("post_issue", issueWithSubject(token, subject));
      std::lock_guard<std::mutex> lock(mutex);
      if (!r) ++unanswered;
      else if (r->status == 200 && code(parse(r->body)) == 0) acknowledged.insert(subject);
      changed.notify_all();
    }
  });
  // Waits until the tester has had `more` further reports acknowledged.
  const auto acknowledgedMore = [&](std::size_t more) {
    std::unique_lock<std::mutex> lock(mutex);
    const std::size_t target = acknowledged.size() + more;
    return changed.wait_for(lock, std::chrono::seconds(30), [&] { return acknowledged.size() >= target; });
  };

  EXPECT_TRUE(acknowledgedMore(3));
  ASSERT_EQ(postgresSh("stop", cluster), 0);
  EXPECT_TRUE(refused(client.post("post_issue", issueWithSubject(token, "while-down"))));
  EXPECT_TRUE(refused(client.post("auth", authBody(kDemoKey, appId(kDemoBundle, "2.4")))));
  EXPECT_TRUE(refused(client.post("post_logs", logsBody(token, logEntry("info", "while down", 1)))));
  ASSERT_EQ(postgresSh("restart", cluster), 0);
  EXPECT_EQ(code(client.call("post_issue", issueWithSubject(token, "after-restart"))), 0);
  EXPECT_EQ(code(client.call("post_logs", logsBody(token, logEntry("info", "after restart", 2)))), 0);
  EXPECT_TRUE(acknowledgedMore(3));
  tester.request_stop();
  tester.join();
  EXPECT_EQ(unanswered, 0);

  std::set<std::string> stored;
  for (const QJsonValue& issue : client.records().value("issues").toArray())
    stored.insert(issue.toObject().value("subject").toString().toStdString());
  EXPECT_TRUE(stored.count("after-restart"));
  for (const std::string& subject : acknowledged) EXPECT_TRUE(stored.count(subject)) << subject;
  EXPECT_EQ(service.stop(), 0);
}

}  // namespace
}  // namespace brelvo::service::test
