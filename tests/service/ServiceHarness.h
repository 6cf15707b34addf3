#pragma once

#include <httplib.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace brelvo::service::test {

// The store the services of a test run keep their records in: by default a
// SQLite file in the test's folder; when BRELVO_TEST_POSTGRES names the folder
// of a cluster that tests/support/postgres.sh started, a database on it.
bool onPostgres();
// Why that store cannot be used here (empty when it can): tests skip with it.
std::string storeUnavailable();
// The --db of the store that belongs to a test's folder: <dir>/service.sqlite,
// or a database named after the folder, made on first use, so that a restarted
// or a second service on the same folder finds the same records. Empty on failure.
std::string storeFor(const std::string& dir);
// Removes a test's folder and, on PostgreSQL, its database.
void removeStore(const std::string& dir);
// The database named after `dir` on the cluster at `baseUrl`
// (postgresql://USER@HOST:PORT), made when missing; its URL, or empty with `error` set.
std::string postgresDatabase(const std::string& baseUrl, const std::string& dir, std::string* error);

// A brelvo-service child process on a free loopback port. The destructor
// kills it whatever happened in the test; the child also dies with us.
class ServiceProcess {
 public:
  ~ServiceProcess();

  // Starts the binary with --port 0 --seed <demo> --db <storeFor(dir)> plus
  // extra arguments (a --db there replaces the folder's store); waits (with a
  // deadline) for its "listening on" line. Two processes started on one folder
  // share one store.
  bool start(const std::string& dir, const std::vector<std::string>& extra = {});
  // SIGTERM, then waits for the exit; the exit code, or -1 when it had to be killed.
  int stop();
  bool running() const { return pid_ > 0; }
  int port() const { return port_; }

  // Runs the binary to completion with the given arguments; its exit code.
  static int runToExit(const std::vector<std::string>& args);

 private:
  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  int port_ = 0;
};

// Talks to the service as the library would: JSON bodies POSTed to
// /api/1_0/lib/<method>.
class ServiceClient {
 public:
  explicit ServiceClient(int port);

  // The raw answer; no value when the connection gave no HTTP answer at all.
  httplib::Result post(const std::string& method, const std::string& body,
                       const std::string& contentType = "application/json", const httplib::Headers& headers = {});
  // The answer parsed as a JSON object (empty when it is not one).
  QJsonObject call(const std::string& method, const std::string& body);

  QJsonObject records();
  // The body of a GET answered with 200 (a stored screenshot at /attachments/<id>,
  // a crash log at /crashes/<id>.txt); empty otherwise.
  QByteArray bytes(const std::string& path);
  QJsonObject admin(const std::string& path, const std::string& body);
  httplib::Client& http() { return http_; }

 private:
  httplib::Client http_;
};

// Request bodies exactly as the library formats them.
std::string appId(const std::string& bundle, const std::string& version);
std::string authBody(const std::string& apiKey, const std::string& appId, const std::string& udid = "AD-1234_fp-5678");
std::string profileBody(const std::string& token);
std::string requirementsBody(const std::string& token, const std::string& page, const std::string& status);
std::string requirementBody(const std::string& token, const std::string& rid);
std::string requirementResultBody(const std::string& token, const std::string& rid, const std::string& status);
std::string issueBody(const std::string& token, const std::string& rid, const std::string& issue);
std::string crashBodyWithToken(const std::string& token, const std::string& logBase64, const std::string& env);
std::string crashBodyWithKey(const std::string& appId, const std::string& apiKey, const std::string& udid,
                             const std::string& logBase64, const std::string& env);
std::string logsBody(const std::string& token, const std::string& entries);
std::string logEntry(const std::string& level, const std::string& message, long long createdAt);
std::string trackStateBody(const std::string& token, const std::string& action, long long at);
std::string updateBody(const std::string& appId, const std::string& apiKey);

std::string base64(const QByteArray& bytes);
QByteArray readFile(const QString& path);
// The demo seed with its one project changed by `change`, written to
// <dir>/seed.json; the path, for a second --seed (the last one counts).
std::string writeSeed(const std::string& dir, const std::function<void(QJsonObject& project)>& change);
// The demo seed with a second tester, Bo Lindqvist ("tester-002"), chosen for
// devices whose id starts with "B-"; the path, as writeSeed gives it.
std::string seedWithSecondTester(const std::string& dir);
// The demo project's first app's first revision (the "2.4" build).
QJsonObject demoRevision(const QJsonObject& project);
void setDemoRevision(QJsonObject& project, const QJsonObject& revision);

inline const std::string kDemoKey = "demo-key-0001";
inline const std::string kDemoBundle = "org.brelvo.notes";

}  // namespace brelvo::service::test

#include <gtest/gtest.h>

namespace brelvo::service::test {

// A fresh service (own temporary database and files folder) per test. Skipped
// when the store under test cannot be used; fixtures built on it then check
// IsSkipped() before going on.
class ServiceFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = storeUnavailable(); !why.empty()) GTEST_SKIP() << why;
    char pattern[] = "/tmp/brelvo-service-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_TRUE(service_.start(dir_, extraArgs())) << "brelvo-service did not start";
    client_ = std::make_unique<ServiceClient>(service_.port());
  }
  void TearDown() override {
    // A clean exit also means the sanitizers found nothing in the child.
    if (service_.running()) {
      EXPECT_EQ(service_.stop(), 0);
    }
    if (!dir_.empty()) removeStore(dir_);
  }
  virtual std::vector<std::string> extraArgs() const { return {}; }

  // A new session of the demo build; its access token.
  std::string signIn(const std::string& udid = "AD-1234_fp-5678") {
    QJsonObject answer = client_->call("auth", authBody(kDemoKey, appId(kDemoBundle, "2.4"), udid));
    return answer.value("payload").toObject().value("access_token").toString().toStdString();
  }
  QString filesDir() const { return QString::fromStdString(dir_ + "/service-files"); }

  std::string dir_;
  ServiceProcess service_;
  std::unique_ptr<ServiceClient> client_;
};

}  // namespace brelvo::service::test
