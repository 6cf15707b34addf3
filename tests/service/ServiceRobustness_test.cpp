// Bad requests, injected faults, restarts: the service answers, stores what
// it should and never falls over.

#include "ServiceHarness.h"

#include "FileStore.h"
#include "Protocol.h"
#include "Schema.h"
#include "Server.h"
#include "SqliteDatabase.h"

#include <QJsonDocument>
#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <thread>

using namespace brelvo::service::test;

namespace {

int code(const QJsonObject& answer) { return answer.value("response_code").toInt(-1); }
QJsonObject parse(const std::string& body) { return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object(); }
// The response code of an answer; -2 when no HTTP answer came at all.
int codeOf(const httplib::Result& r) { return r ? code(parse(r->body)) : -2; }

class ServiceBadInput : public ServiceFixture {
 protected:
  std::vector<std::string> extraArgs() const override { return {"--max-body", "65536"}; }
};

using ServiceFaults = ServiceFixture;

std::string faultJson(const std::string& members) { return "{" + members + "}"; }

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A raw loopback connection, from another address of the loopback network when
// asked, so that it counts against that address's share of the service.
int connectTo(int port, const char* from = nullptr) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  if (from) {
    inet_pton(AF_INET, from, &addr.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return close(fd), -1;
  }
  inet_pton(AF_INET, "127.0.0.1", &addr.sin_addr);
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return close(fd), -1;
  return fd;
}

bool sendAll(int fd, const std::string& text) {
  return send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

// What the service sent until it closed the connection; nothing when it kept
// it open past the deadline.
std::optional<std::string> answerWithin(int fd, std::chrono::milliseconds deadline) {
  std::string answer;
  const auto until = Clock::now() + deadline;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(std::max<long long>(left, 0))) <= 0) return std::nullopt;
    char buffer[4096];
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return answer;
    answer.append(buffer, static_cast<std::size_t>(n));
  }
}

using ServiceLimits = ServiceFixture;
using ServiceListings = ServiceFixture;

// Identities of a listing's rows, in order.
QStringList idsOf(const QJsonArray& rows) {
  QStringList ids;
  for (const QJsonValue& row : rows) {
    const QJsonObject o = row.toObject();
    ids << (o.contains("id") ? QString::number(o.value("id").toInteger())
                             : QStringLiteral("%1/%2").arg(o.value("revision_id").toInteger()).arg(o.value("rid").toInteger()));
  }
  return ids;
}

}  // namespace

TEST_F(ServiceBadInput, MalformedBodiesGetAnErrorEnvelope) {
  std::string token = signIn();
  const std::pair<std::string, std::string> cases[] = {
      {"auth", ""},
      {"auth", "not json at all"},
      {"auth", "[1,2,3]"},
      {"auth", std::string("\x00\xff\xfe{\"a\"", 6)},
      {"auth", R"({"locale":"en","udid":7,"app_id":"x","api_key":"y", "a_v":""})"},
      {"requirements", R"({"locale":"en","access_token":")" + token + R"(","page":{},"uid":"","status":"0"})"},
      {"requirements", R"({"locale":"en","access_token":")" + token + R"(","page":"0","uid":"","status":[1]})"},
      {"requirements", R"({"locale":"en","access_token":")" + token + R"(","page":"99999999999999999999","uid":"","status":"0"})"},
      {"requirements", R"({"locale":"en","access_token":")" + token + R"(","page":"-1","uid":"","status":"0"})"},
      {"post_issue", R"({"locale":"en","access_token":")" + token + R"(","uid":"","rid":"0","draft":"0","issue":"text"})"},
      {"post_issue", R"({"locale":"en","access_token":")" + token + R"(","uid":"","rid":"0","draft":"0","issue":{"tracker":"1","priority":"1","subject":"s","description":"d","attachments":[5]}})"},
      {"post_logs", R"({"locale":"en","access_token":")" + token + R"(","logs":[{"log_level":{},"message":"m","created_at":"1"}]})"},
      {"track_state", R"({"locale":"en","access_token":")" + token + R"(","state_action":"suspend"})"},
      {"auth", std::string(5000, '[') + std::string(5000, ']')},
  };
  for (const auto& [method, body] : cases) {
    httplib::Result r = client_->post(method, body);
    ASSERT_TRUE(r) << method << ": no answer for " << body.substr(0, 80);
    QJsonObject answer = parse(r->body);
    EXPECT_EQ(code(answer), 1) << method << ": " << body.substr(0, 80) << " -> " << r->body;
    EXPECT_FALSE(answer.value("error").toString().isEmpty());
  }
  // Nothing half-stored, and the service still works.
  QJsonObject records = client_->records();
  EXPECT_TRUE(records.value("issues").toArray().isEmpty());
  EXPECT_TRUE(records.value("log_batches").toArray().isEmpty());
  EXPECT_FALSE(signIn().empty());
}

TEST_F(ServiceBadInput, WrongAddressesMethodsAndSizesGetAnErrorEnvelope) {
  EXPECT_EQ(code(client_->call("no_such_method", "{}")), 2);
  EXPECT_EQ(codeOf(client_->http().Post("/api/2_0/lib/auth", authBody(kDemoKey, appId(kDemoBundle, "2.4")), "application/json")), 2);
  EXPECT_EQ(codeOf(client_->http().Post("/api/1_0/other", "{}", "application/json")), 2);

  httplib::Result get = client_->http().Get("/api/1_0/lib/auth");
  EXPECT_EQ(codeOf(get), 8);
  EXPECT_FALSE(get && parse(get->body).value("error").toString().isEmpty());

  // Above the body limit (64 KiB for this test).
  EXPECT_EQ(codeOf(client_->post("post_logs", R"({"locale":"en","pad":")" + std::string(100000, 'a') + "\"}")), 7);

  // Admin input is checked too.
  for (const char* fault : {R"({"kind":"explode"})", "{{{"}) {
    httplib::Result refused = client_->http().Post("/admin/faults", fault, "application/json");
    EXPECT_EQ(refused ? refused->status : -1, 400) << fault;
  }
  EXPECT_TRUE(client_->admin("/admin/reset-faults", "").value("faults").toArray().isEmpty());

  EXPECT_FALSE(signIn().empty());
}

// Text with a NUL character and a crash log that is not UTF-8 at all cannot
// go into a text column of every store as they are; they are stored anyway,
// the log's bytes exactly, or the device would send them again forever.
TEST_F(ServiceBadInput, TextAndBytesOfAnyKindAreStored) {
  const std::string token = signIn();
  const QByteArray log("Fatal \xff\xfe signal\0\n", 16);
  ASSERT_EQ(code(client_->call("post_crash", crashBodyWithToken(token, base64(log), "{}"))), 0);
  ASSERT_EQ(code(client_->call("post_issue", issueBody(token, "0", R"({"tracker":"1","priority":"1","subject":"a\u0000b","description":"d"})"))), 0);
  const QJsonObject records = client_->records();
  ASSERT_EQ(records.value("issues").toArray().size(), 1);
  const QJsonArray crashes = records.value("crashes").toArray();
  ASSERT_EQ(crashes.size(), 1);
  httplib::Result stored = client_->http().Get("/crashes/" + std::to_string(crashes[0].toObject().value("id").toInteger()) + ".txt");
  ASSERT_TRUE(stored);
  EXPECT_EQ(QByteArray::fromStdString(stored->body), log);
}

TEST_F(ServiceBadInput, ContentLengthIsJudgedFromTheHeaderAlone) {
  // Headers only: the answer must not wait for a body that is never coming.
  const std::pair<std::string, std::string> cases[] = {
      {"1000000", "HTTP/1.1 413"}, {"-5", "HTTP/1.1 400"}, {"99999999999999999999999", "HTTP/1.1 400"}, {"12x", "HTTP/1.1 400"}};
  for (const auto& [length, status] : cases) {
    int fd = connectTo(service_.port());
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(sendAll(fd, "POST /api/1_0/lib/post_logs HTTP/1.1\r\nHost: a\r\nContent-Type: application/json\r\n"
                            "Content-Length: " + length + "\r\n\r\n"));
    // Waiting for the body would never end: any answer at all is the right kind.
    std::optional<std::string> answer = answerWithin(fd, std::chrono::seconds(10));
    close(fd);
    ASSERT_TRUE(answer) << "no answer for Content-Length " << length;
    EXPECT_EQ(answer->rfind(status, 0), 0u) << length << ": " << *answer;
    EXPECT_EQ(code(parse(answer->substr(answer->find("\r\n\r\n") + 4))), status.ends_with("413") ? 7 : 1) << *answer;
  }
  EXPECT_FALSE(signIn().empty());
}

TEST_F(ServiceLimits, SlowClientsGetTheirShareAndNoMore) {
  // Twenty connections from one address that never finish their headers: the
  // address's share (16) is held for a few seconds at most, the rest are
  // turned away at once, and other clients are served meanwhile.
  std::vector<int> slow;
  for (int i = 0; i < 20; ++i) {
    int fd = connectTo(service_.port(), "127.0.0.2");
    ASSERT_GE(fd, 0);
    sendAll(fd, "POST /api/1_0/lib/auth HTTP/1.1\r\nHost: a\r\n");
    slow.push_back(fd);
  }
  // The service has seen all twenty once it has turned four away.
  std::vector<bool> answered(slow.size(), false);
  const auto turnedAway = [&] {
    for (std::size_t i = 0; i < slow.size(); ++i)
      if (!answered[i] && answerWithin(slow[i], std::chrono::milliseconds(1))) answered[i] = true;
    return int(std::count(answered.begin(), answered.end(), true));
  };
  const auto start = Clock::now();
  while (turnedAway() < 4 && secondsSince(start) < 20) {}
  EXPECT_EQ(turnedAway(), 4);
  // Another client is served while the sixteen are still held: none of them
  // has been cut off by the time its sign-in comes back.
  EXPECT_FALSE(signIn().empty());
  EXPECT_EQ(turnedAway(), 4);
  // The others are cut off when their time to send a request runs out.
  for (int fd : slow) {
    EXPECT_TRUE(answerWithin(fd, std::chrono::seconds(8)));
    close(fd);
  }
}

TEST_F(ServiceLimits, TricklingClientIsCutOff) {
  int fd = connectTo(service_.port());
  ASSERT_GE(fd, 0);
  sendAll(fd, "POST /api/1_0/lib/auth HTTP/1.1\r\nHost: a\r\nX-Pad: ");
  // One byte every 100 ms never lets a per-read time-out expire; the
  // request's whole time (5 s) does.
  const auto start = Clock::now();
  bool cut = false;
  while (!cut && secondsSince(start) < 30) {
    cut = !sendAll(fd, "a") || answerWithin(fd, std::chrono::milliseconds(100)).has_value();
  }
  close(fd);
  EXPECT_TRUE(cut) << "still connected after 30 s";
}

TEST_F(ServiceListings, PagesWalkEveryRecordOnce) {
  for (int i = 0; i < 3; ++i) {
    std::string token = signIn("AD-" + std::to_string(i));
    for (int j = 0; j < 2; ++j) client_->call("track_state", trackStateBody(token, "resume", 1700000000 + j));
  }
  httplib::Result first = client_->http().Get("/admin/records");
  ASSERT_TRUE(first);
  const QJsonObject whole = parse(first->body);
  EXPECT_FALSE(whole.contains("next"));  // the default page holds all of this

  const char* const lists[] = {"sessions", "requests", "state_events", "requirements"};
  std::map<std::string, QStringList> walked;
  std::string path = "/admin/records?limit=2";
  int pages = 0;
  for (; pages < 20; ++pages) {
    httplib::Result r = client_->http().Get(path.c_str());
    ASSERT_TRUE(r);
    ASSERT_EQ(r->status, 200) << path;
    const QJsonObject page = parse(r->body);
    for (const char* list : lists) {
      const QJsonArray rows = page.value(list).toArray();
      EXPECT_LE(rows.size(), 2) << list;
      walked[list] << idsOf(rows);
    }
    const QString next = page.value("next").toString();
    if (next.isEmpty()) break;
    path = "/admin/records?limit=2&cursor=" + QUrl::toPercentEncoding(next).toStdString();
  }
  EXPECT_EQ(pages, 5);  // 12 requirements, two at a time
  for (const char* list : lists) {
    EXPECT_EQ(walked[list], idsOf(whole.value(list).toArray())) << list;
  }

  httplib::Result badCursor = client_->http().Get("/admin/records?cursor=requests:x");
  ASSERT_TRUE(badCursor);
  EXPECT_EQ(badCursor->status, 400);
  // The dashboard pages too, and its link to older records leads somewhere.
  httplib::Result dashboard = client_->http().Get("/?limit=2");
  ASSERT_TRUE(dashboard);
  const std::size_t link = dashboard->body.find("<a href=\"/?limit=2&amp;cursor=");
  ASSERT_NE(link, std::string::npos);
  std::string older = dashboard->body.substr(link + 9, dashboard->body.find('"', link + 9) - link - 9);
  older.replace(older.find("&amp;"), 5, "&");
  httplib::Result olderPage = client_->http().Get(older.c_str());
  ASSERT_TRUE(olderPage);
  EXPECT_EQ(olderPage->status, 200);
}

TEST_F(ServiceListings, ALongListingDoesNotHoldUpWriters) {
  std::string token = signIn();
  std::string entries;
  for (int i = 0; i < 4000; ++i) entries += (i ? "," : "") + logEntry("info", std::string(200, 'm'), i);
  for (int i = 0; i < 8; ++i) ASSERT_EQ(code(client_->call("post_logs", logsBody(token, entries))), 0);

  std::atomic<bool> listing{true};
  double listingSeconds = 0;
  std::thread reader([&] {
    ServiceClient other(service_.port());
    const auto start = Clock::now();
    EXPECT_TRUE(other.http().Get("/admin/records"));
    listingSeconds = secondsSince(start);
    listing = false;
  });
  double slowestWrite = 0;
  int writes = 0;
  while (listing) {
    const auto start = Clock::now();
    EXPECT_EQ(code(client_->call("track_state", trackStateBody(token, "resume", 1700000000 + writes))), 0);
    slowestWrite = std::max(slowestWrite, secondsSince(start));
    ++writes;
  }
  reader.join();
  EXPECT_LT(slowestWrite, std::max(0.5, listingSeconds / 4))
      << "listing took " << listingSeconds << " s, " << writes << " writes meanwhile";
}

TEST_F(ServiceFaults, EmptyHtmlAndCodeFaultsLastForTheirCountOnly) {
  const std::string auth = authBody(kDemoKey, appId(kDemoBundle, "2.4"));
  client_->admin("/admin/faults", faultJson(R"("kind":"empty","count":2)"));
  for (int i = 0; i < 2; ++i) {
    httplib::Result r = client_->post("auth", auth);
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->body.empty());
  }
  EXPECT_EQ(code(client_->call("auth", auth)), 0);

  client_->admin("/admin/faults", faultJson(R"("kind":"html")"));
  httplib::Result page = client_->post("auth", auth);
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find("<html"), std::string::npos);

  client_->admin("/admin/faults",
                 faultJson(R"("kind":"code","code":77,"error":"Build withdrawn","url":"https://example.org/get","title":"Get it","refresh":false)"));
  QJsonObject refused = client_->call("auth", auth);
  EXPECT_EQ(code(refused), 77);
  EXPECT_EQ(refused.value("error").toString(), "Build withdrawn");
  QJsonObject scheme = refused.value("url_scheme").toObject();
  EXPECT_EQ(scheme.value("url").toString(), "https://example.org/get");
  EXPECT_EQ(scheme.value("title").toString(), "Get it");
  EXPECT_FALSE(scheme.value("refresh").toBool(true));
  EXPECT_EQ(code(client_->call("auth", auth)), 0);

  // Faulted requests are recorded as such, and only real sign-ins made sessions.
  QJsonObject records = client_->records();
  int faulted = 0;
  for (const QJsonValue& r : records.value("requests").toArray())
    if (!r.toObject().value("fault").isNull()) ++faulted;
  EXPECT_EQ(faulted, 4);
  EXPECT_EQ(records.value("sessions").toArray().size(), 2);
}

TEST_F(ServiceFaults, DropClosesTheConnectionAndDelayStillAnswers) {
  std::string token = signIn();
  client_->admin("/admin/faults", faultJson(R"("kind":"drop")"));
  httplib::Result dropped = client_->post("post_logs", logsBody(token, ""));
  EXPECT_FALSE(dropped);  // no HTTP answer at all
  EXPECT_EQ(code(client_->call("post_logs", logsBody(token, ""))), 0);

  client_->admin("/admin/faults", faultJson(R"("kind":"delay","delay_ms":200)"));
  EXPECT_EQ(code(client_->call("track_state", trackStateBody(token, "suspend", 1700000000))), 0);
  QJsonObject records = client_->records();
  EXPECT_EQ(records.value("state_events").toArray().size(), 1);  // a delayed request is still carried out
  EXPECT_EQ(records.value("log_batches").toArray().size(), 1);   // the dropped one was not
  QJsonArray requests = records.value("requests").toArray();
  EXPECT_EQ(requests.last().toObject().value("fault").toString(), "delay");
  EXPECT_EQ(requests.last().toObject().value("response_code").toInt(-1), 0);
}

TEST_F(ServiceFaults, MethodFilterAndReset) {
  std::string token = signIn();
  client_->admin("/admin/faults", faultJson(R"("kind":"code","code":9,"count":5,"methods":["post_logs"])"));
  EXPECT_EQ(code(client_->call("track_state", trackStateBody(token, "resume", 1700000000))), 0);
  EXPECT_EQ(code(client_->call("post_logs", logsBody(token, ""))), 9);
  httplib::Result list = client_->http().Get("/admin/faults");
  ASSERT_TRUE(list);
  QJsonArray pending = parse(list->body).value("faults").toArray();
  ASSERT_EQ(pending.size(), 1);
  EXPECT_EQ(pending[0].toObject().value("count").toInt(), 4);
  client_->admin("/admin/reset-faults", "");
  EXPECT_EQ(code(client_->call("post_logs", logsBody(token, ""))), 0);
}

TEST(ServiceLifecycle, RestartKeepsRecordsResultsAndSessionsAndReseedingChangesNothing) {
  if (const std::string why = storeUnavailable(); !why.empty()) GTEST_SKIP() << why;
  char pattern[] = "/tmp/brelvo-service-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  std::string token;
  {
    ServiceProcess service;
    ASSERT_TRUE(service.start(dir));
    ServiceClient client(service.port());
    token = client.call("auth", authBody(kDemoKey, appId(kDemoBundle, "2.4")))
                .value("payload").toObject().value("access_token").toString().toStdString();
    ASSERT_FALSE(token.empty());
    ASSERT_EQ(code(client.call("requirement_result", requirementResultBody(token, "103", "3"))), 0);
    ASSERT_EQ(code(client.call("post_logs", logsBody(token, logEntry("warning", "low memory", 1)))), 0);
    EXPECT_EQ(service.stop(), 0);  // SIGTERM ends it cleanly
  }
  {
    ServiceProcess service;
    ASSERT_TRUE(service.start(dir));  // loads the same seed again
    ServiceClient client(service.port());
    QJsonObject records = client.records();
    EXPECT_EQ(records.value("sessions").toArray().size(), 1);
    EXPECT_EQ(records.value("log_batches").toArray().size(), 1);
    EXPECT_EQ(records.value("requirement_results").toArray().size(), 1);
    QJsonArray requirements = records.value("requirements").toArray();
    EXPECT_EQ(requirements.size(), 12);  // no duplicates from the second load
    // The old session still works, and the tester's result survived the reseed.
    QJsonObject failed = client.call("requirements", requirementsBody(token, "0", "3"));
    ASSERT_EQ(code(failed), 0);
    QList<int> rids;
    for (const QJsonValue& v : failed.value("payload").toObject().value("requirements").toArray())
      rids << v.toObject().value("rid").toInt();
    EXPECT_EQ(rids, (QList<int>{103, 111, 112}));
    EXPECT_EQ(service.stop(), 0);
  }
  removeStore(dir);
}

TEST(ServiceLifecycle, AnAppAddedFromTheCommandLineSignsIn) {
  if (const std::string why = storeUnavailable(); !why.empty()) GTEST_SKIP() << why;
  char pattern[] = "/tmp/brelvo-service-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const std::string db = storeFor(dir);
  EXPECT_EQ(ServiceProcess::runToExit({"--db", db, "--add-app", "org.example.todo", "1.0"}), 1);  // no project yet
  EXPECT_EQ(ServiceProcess::runToExit({"--db", db, "--seed", BRELVO_DEMO_SEED, "--add-app", "org.example.todo", "1.0",
                            "--project-key", "no-such-key"}),
            1);
  EXPECT_EQ(ServiceProcess::runToExit({"--db", db, "--add-app", "org.example.todo", "1.0"}), 0);
  {
    ServiceProcess service;
    ASSERT_TRUE(service.start(dir));
    ServiceClient client(service.port());
    EXPECT_EQ(code(client.call("auth", authBody(kDemoKey, appId("org.example.todo", "1.0")))), 0);
    EXPECT_EQ(code(client.call("auth", authBody(kDemoKey, appId("org.example.todo", "1.1")))), 77);
    EXPECT_EQ(service.stop(), 0);
  }
  removeStore(dir);
}

TEST(ServiceLifecycle, RefusesBadOptionsAndBadSeedsWithoutCrashing) {
  if (const std::string why = storeUnavailable(); !why.empty()) GTEST_SKIP() << why;
  char pattern[] = "/tmp/brelvo-service-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const std::string db = storeFor(dir);
  auto writeSeed = [&](const std::string& name, const std::string& text) {
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "w");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
  };
  EXPECT_EQ(ServiceProcess::runToExit({"--port", "seventy"}), 2);
  EXPECT_EQ(ServiceProcess::runToExit({"--port", "70000"}), 2);
  EXPECT_EQ(ServiceProcess::runToExit({"--bogus", "1"}), 2);
  EXPECT_EQ(ServiceProcess::runToExit({"--port"}), 2);
  EXPECT_EQ(ServiceProcess::runToExit({"--bogus"}), 2);
  // A database in a folder that does not exist is a mistake to report, not a folder to make.
  EXPECT_EQ(ServiceProcess::runToExit({"--db", dir + "/missing/s.sqlite"}), 1);
  EXPECT_FALSE(std::filesystem::exists(dir + "/missing"));
  EXPECT_EQ(ServiceProcess::runToExit({"--db", db, "--seed", dir + "/missing.json"}), 1);
  EXPECT_EQ(ServiceProcess::runToExit({"--db", db, "--seed", writeSeed("a.json", "{not json")}), 1);
  EXPECT_EQ(ServiceProcess::runToExit({"--db", db, "--seed", writeSeed("b.json", R"({"projects":[{"title":"no key"}]})")}), 1);
  EXPECT_EQ(ServiceProcess::runToExit(
                {"--db", db, "--seed",
                 writeSeed("c.json", R"({"projects":[{"api_key":"k","apps":[{"bundle_id":"a","revisions":[{"bundle_version":"1","requirements":[{"rid":"x"}]}]}]}]})")}),
            1);
  // A refused seed leaves nothing behind: a good start afterwards sees only the demo.
  ServiceProcess service;
  ASSERT_TRUE(service.start(dir));
  ServiceClient client(service.port());
  EXPECT_EQ(code(client.call("auth", authBody("k", appId("a", "1")))), 3);
  EXPECT_EQ(service.stop(), 0);

  // A database a newer service has upgraded is refused and left as it is.
  const auto version = [&db](const std::string& sql) {
    int value = -1;
    if (onPostgres()) {
      PGconn* conn = PQconnectdb(db.c_str());
      PGresult* result = PQexec(conn, sql.c_str());
      if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1) value = std::atoi(PQgetvalue(result, 0, 0));
      PQclear(result);
      PQfinish(conn);
      return value;
    }
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr);
    if (sqlite3_step(stmt) == SQLITE_ROW) value = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    return value;
  };
  version("UPDATE schema_version SET version = 1000");
  EXPECT_EQ(ServiceProcess::runToExit({"--db", db, "--add-app", "org.example.todo", "1.0"}), 1);
  EXPECT_EQ(version("SELECT version FROM schema_version"), 1000);
  removeStore(dir);
}

// A stop signal can come before the listener's loop has begun, as it does
// right after start-up: the server must end all the same, not listen on.
TEST(ServiceLifecycle, AStopAsServingBeginsEndsIt) {
  if (onPostgres()) GTEST_SKIP() << "the listener does not depend on the store: run in the SQLite round";
  char pattern[] = "/tmp/brelvo-service-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  brelvo::service::SqliteDatabase db;
  std::string error;
  ASSERT_TRUE(db.open(dir + "/service.sqlite", &error)) << error;
  ASSERT_TRUE(brelvo::service::prepareSchema(db, &error)) << error;
  brelvo::service::FolderFiles files(QString::fromStdString(dir + "/files"));
  brelvo::service::Protocol protocol(db, files);
  for (int i = 0; i < 20; ++i) {
    brelvo::service::Server server(db, protocol, brelvo::service::ServerOptions{.port = 0});
    ASSERT_GT(server.bind(), 0);
    std::thread serving([&server] { server.run(); });
    if (i % 2 == 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    server.stop();
    serving.join();
  }
  removeStore(dir);
}
