#include "ServiceHarness.h"

#include <QFile>
#include <QUrl>

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <QJsonDocument>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace brelvo::service::test {
namespace {

using Clock = std::chrono::steady_clock;

// Waits for the child's exit until the deadline; its wait status, or nothing.
std::optional<int> waitExit(pid_t pid, std::chrono::milliseconds deadline) {
  auto until = Clock::now() + deadline;
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return status;
    if (r < 0 && errno != EINTR) return std::nullopt;
    if (Clock::now() >= until) return std::nullopt;
    // Polling a child's exit: there is no descriptor to wait on here.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

pid_t spawn(const std::vector<std::string>& args, int* stdoutFd) {
  int pipeFds[2] = {-1, -1};
  if (stdoutFd && pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    if (stdoutFd) dup2(pipeFds[1], STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (stdoutFd) {
    close(pipeFds[1]);
    if (pid < 0) {
      close(pipeFds[0]);
      return -1;
    }
    *stdoutFd = pipeFds[0];
  }
  return pid;
}

// The folder of the cluster under test; empty on SQLite.
std::string clusterDir() {
  const char* dir = std::getenv("BRELVO_TEST_POSTGRES");
  return dir ? dir : "";
}

std::string clusterUrl() {
  return readFile(QString::fromStdString(clusterDir() + "/url")).trimmed().toStdString();
}

// A connection to the cluster's maintenance database; null with `error` set.
PGconn* connectTo(const std::string& baseUrl, std::string* error) {
  PGconn* conn = PQconnectdb((baseUrl + "/postgres?connect_timeout=10").c_str());
  if (PQstatus(conn) == CONNECTION_OK) return conn;
  *error = "cannot reach " + baseUrl + ": " + QByteArray(PQerrorMessage(conn)).trimmed().toStdString();
  PQfinish(conn);
  return nullptr;
}

// A database name for a test's folder: its last component, which mkdtemp made unique.
std::string databaseName(const std::string& dir) {
  std::string name = std::filesystem::path(dir).filename().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = '_';
  }
  return name.size() > 63 ? name.substr(name.size() - 63) : name;
}

// Runs one statement; an error other than the SQLSTATE `tolerated` goes to `error`.
bool execute(PGconn* conn, const std::string& sql, const char* tolerated, std::string* error) {
  PGresult* result = PQexec(conn, sql.c_str());
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  const bool ok = PQresultStatus(result) == PGRES_COMMAND_OK || (state && std::strcmp(state, tolerated) == 0);
  if (!ok) *error = sql + ": " + QByteArray(PQresultErrorMessage(result)).trimmed().toStdString();
  PQclear(result);
  return ok;
}

}  // namespace

bool onPostgres() { return !clusterDir().empty(); }

std::string storeUnavailable() {
  static const std::string reason = [] {
    if (!onPostgres()) return std::string();
    const std::string dir = clusterDir();
    const QByteArray skip = readFile(QString::fromStdString(dir + "/skip")).trimmed();
    if (!skip.isEmpty()) return "no PostgreSQL to test on: " + skip.toStdString();
    const std::string url = clusterUrl();
    if (url.empty()) return "no PostgreSQL cluster in " + dir + " (tests/support/postgres.sh start " + dir + ")";
    std::string error;
    PGconn* conn = connectTo(url, &error);
    PQfinish(conn);
    return error;
  }();
  return reason;
}

std::string postgresDatabase(const std::string& baseUrl, const std::string& dir, std::string* error) {
  PGconn* conn = connectTo(baseUrl, error);
  if (!conn) return {};
  const std::string name = databaseName(dir);
  const bool made = execute(conn, "CREATE DATABASE \"" + name + "\"", "42P04" /* it exists */, error);
  PQfinish(conn);
  return made ? baseUrl + "/" + name : std::string();
}

std::string storeFor(const std::string& dir) {
  if (!onPostgres()) return dir + "/service.sqlite";
  std::string error;
  const std::string db = postgresDatabase(clusterUrl(), dir, &error);
  if (db.empty()) std::fprintf(stderr, "no database for %s: %s\n", dir.c_str(), error.c_str());
  return db;
}

void removeStore(const std::string& dir) {
  if (onPostgres() && storeUnavailable().empty()) {
    // The cluster lives for the whole run: each test's database goes with its test.
    std::string error;
    if (PGconn* conn = connectTo(clusterUrl(), &error)) {
      execute(conn, "DROP DATABASE IF EXISTS \"" + databaseName(dir) + "\" WITH (FORCE)", "", &error);
      PQfinish(conn);
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

ServiceProcess::~ServiceProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (stdoutFd_ >= 0) close(stdoutFd_);
}

bool ServiceProcess::start(const std::string& dir, const std::vector<std::string>& extra) {
  std::vector<std::string> args{BRELVO_SERVICE_BIN, "--port", "0", "--seed", BRELVO_DEMO_SEED};
  if (std::find(extra.begin(), extra.end(), "--db") == extra.end()) {
    const std::string db = storeFor(dir);
    if (db.empty()) return false;
    args.insert(args.end(), {"--db", db});
  }
  args.insert(args.end(), extra.begin(), extra.end());
  pid_ = spawn(args, &stdoutFd_);
  if (pid_ <= 0) return false;

  // The first line is "listening on 127.0.0.1:<port>"; allow a slow sanitizer build.
  std::string line;
  auto until = Clock::now() + std::chrono::seconds(30);
  while (line.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{stdoutFd_, POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    char buffer[256];
    ssize_t n = read(stdoutFd_, buffer, sizeof buffer);
    if (n <= 0) return false;  // exited before listening
    line.append(buffer, static_cast<std::size_t>(n));
  }
  const std::string prefix = "listening on 127.0.0.1:";
  if (line.rfind(prefix, 0) != 0) return false;
  port_ = std::atoi(line.c_str() + prefix.size());
  return port_ > 0;
}

int ServiceProcess::stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  std::optional<int> status = waitExit(pid_, std::chrono::seconds(20));
  if (!status) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
  if (stdoutFd_ >= 0) close(stdoutFd_);
  stdoutFd_ = -1;
  if (!status || !WIFEXITED(*status)) return -1;
  return WEXITSTATUS(*status);
}

int ServiceProcess::runToExit(const std::vector<std::string>& args) {
  std::vector<std::string> all{BRELVO_SERVICE_BIN};
  all.insert(all.end(), args.begin(), args.end());
  pid_t pid = spawn(all, nullptr);
  if (pid <= 0) return -1;
  std::optional<int> status = waitExit(pid, std::chrono::seconds(30));
  if (!status) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
  }
  return WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

ServiceClient::ServiceClient(int port) : http_("127.0.0.1", port) {
  http_.set_read_timeout(std::chrono::seconds(30));
  http_.set_write_timeout(std::chrono::seconds(30));
}

httplib::Result ServiceClient::post(const std::string& method, const std::string& body, const std::string& contentType,
                                    const httplib::Headers& headers) {
  return http_.Post(("/api/1_0/lib/" + method).c_str(), headers, body, contentType.c_str());
}

QJsonObject ServiceClient::call(const std::string& method, const std::string& body) {
  httplib::Result r = post(method, body);
  if (!r) return {};
  return QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).object();
}

QJsonObject ServiceClient::records() {
  // Every page, each list joined up, so that tests see all records whatever the page size.
  QJsonObject all;
  std::string path = "/admin/records";
  for (;;) {
    httplib::Result r = http_.Get(path.c_str());
    if (!r) return {};
    QJsonObject page = QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).object();
    for (auto it = page.begin(); it != page.end(); ++it) {
      if (!it->isArray()) continue;
      QJsonArray joined = all.value(it.key()).toArray();
      for (const QJsonValue& v : it->toArray()) joined.append(v);
      all.insert(it.key(), joined);
    }
    const QString next = page.value("next").toString();
    if (next.isEmpty()) return all;
    path = "/admin/records?cursor=" + QUrl::toPercentEncoding(next).toStdString();
  }
}

QByteArray ServiceClient::bytes(const std::string& path) {
  httplib::Result r = http_.Get(path.c_str());
  return r && r->status == 200 ? QByteArray::fromStdString(r->body) : QByteArray();
}

QJsonObject ServiceClient::admin(const std::string& path, const std::string& body) {
  httplib::Result r = http_.Post(path.c_str(), body, "application/json");
  if (!r) return {};
  return QJsonDocument::fromJson(QByteArray::fromStdString(r->body)).object();
}

std::string base64(const QByteArray& bytes) { return bytes.toBase64().toStdString(); }

std::string appId(const std::string& bundle, const std::string& version) {
  std::string text = "1_" + bundle + "__" + version + "__";
  std::string b64 = base64(QByteArray::fromStdString(text));
  b64.erase(std::remove(b64.begin(), b64.end(), '='), b64.end());
  return b64;
}

std::string authBody(const std::string& apiKey, const std::string& app, const std::string& udid) {
  return R"({"locale":"en","udid":")" + udid + R"(","app_id":")" + app + R"(","api_key":")" + apiKey +
         R"(", "a_v":"Qt:0.1.0:1:1.0"})";
}

std::string profileBody(const std::string& token) {
  return R"({"access_token":")" + token + R"(","ts":"1700000000"})";
}

std::string requirementsBody(const std::string& token, const std::string& page, const std::string& status) {
  return R"({"locale":"en","access_token":")" + token + R"(","page":")" + page + R"(","uid":"","status":")" + status +
         R"("})";
}

std::string requirementBody(const std::string& token, const std::string& rid) {
  return R"({"locale":"en","access_token":")" + token + R"(","rid":")" + rid + R"(","uid":""})";
}

std::string requirementResultBody(const std::string& token, const std::string& rid, const std::string& status) {
  return R"({"locale":"en","access_token":")" + token + R"(","rid":")" + rid + R"(","uid":"","status":")" + status +
         R"("})";
}

std::string issueBody(const std::string& token, const std::string& rid, const std::string& issue) {
  return R"({"locale":"en","access_token":")" + token + R"(","uid":"","rid":")" + rid + R"(","draft":"0","issue":)" +
         issue + "}";
}

std::string crashBodyWithToken(const std::string& token, const std::string& log, const std::string& env) {
  return R"({"locale":"en","access_token":")" + token + R"(","log":")" + log + R"(","uid":"","rid":"0","device_env":)" +
         env + "}";
}

std::string crashBodyWithKey(const std::string& app, const std::string& apiKey, const std::string& udid,
                             const std::string& log, const std::string& env) {
  return R"({"locale":"en","app_id":")" + app + R"(","api_key":")" + apiKey + R"(","udid":")" + udid + R"(","log":")" +
         log + R"(","uid":"","rid":"0","device_env":)" + env + "}";
}

std::string logsBody(const std::string& token, const std::string& entries) {
  return R"({"locale":"en","access_token":")" + token + R"(","logs":[)" + entries + "]}";
}

std::string logEntry(const std::string& level, const std::string& message, long long createdAt) {
  return R"({"log_level":")" + level + R"(","message":")" + message + R"(","created_at":")" +
         std::to_string(createdAt) + R"("})";
}

std::string trackStateBody(const std::string& token, const std::string& action, long long at) {
  return R"({"locale":"en","access_token":")" + token + R"(","state_action":")" + action + R"(","state_action_at":")" +
         std::to_string(at) + R"("})";
}

std::string updateBody(const std::string& app, const std::string& apiKey) {
  return R"({"locale":"en","udid":"AD-1234_fp-5678","app_id":")" + app + R"(","api_key":")" + apiKey + R"("})";
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::string writeSeed(const std::string& dir, const std::function<void(QJsonObject& project)>& change) {
  QJsonObject seed = QJsonDocument::fromJson(readFile(QStringLiteral(BRELVO_DEMO_SEED))).object();
  QJsonArray projects = seed.value("projects").toArray();
  QJsonObject project = projects.at(0).toObject();
  change(project);
  projects.replace(0, project);
  seed.insert("projects", projects);
  const std::string path = dir + "/seed.json";
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(seed).toJson()) < 0) return {};
  return path;
}

std::string seedWithSecondTester(const std::string& dir) {
  return writeSeed(dir, [](QJsonObject& project) {
    QJsonArray testers = project.value("testers").toArray();
    testers.append(QJsonObject{{"uid", "tester-002"}, {"full_name", "Bo Lindqvist"}, {"udid_prefix", "B-"}});
    project.insert("testers", testers);
  });
}

QJsonObject demoRevision(const QJsonObject& project) {
  return project.value("apps").toArray().at(0).toObject().value("revisions").toArray().at(0).toObject();
}

void setDemoRevision(QJsonObject& project, const QJsonObject& revision) {
  QJsonArray apps = project.value("apps").toArray();
  QJsonObject app = apps.at(0).toObject();
  QJsonArray revisions = app.value("revisions").toArray();
  revisions.replace(0, revision);
  app.insert("revisions", revisions);
  apps.replace(0, app);
  project.insert("apps", apps);
}

}  // namespace brelvo::service::test
