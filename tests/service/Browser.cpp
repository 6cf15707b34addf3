#include "Browser.h"

#include <QJsonDocument>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace brelvo::service::test {
namespace {

using Clock = std::chrono::steady_clock;

// How long one DevTools call may take; a page load under a sanitizer build is slow.
constexpr auto kCallTime = std::chrono::seconds(30);

}  // namespace

Browser::~Browser() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (toBrowser_ >= 0) close(toBrowser_);
  if (fromBrowser_ >= 0) close(fromBrowser_);
}

std::string Browser::executable() {
  for (const char* name : {"chromium", "chromium-browser"}) {
    const QString path = QStandardPaths::findExecutable(QLatin1String(name));
    if (!path.isEmpty()) return path.toStdString();
  }
  return {};
}

bool Browser::open(const std::string& url, const std::string& profileDir) {
  const std::string path = executable();
  if (path.empty()) return false;
  // The DevTools pipe is the browser's descriptor 3 (what it reads) and 4 (what it writes).
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return false;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return false;
  }
  const std::vector<std::string> args{path, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                      "--remote-debugging-pipe", "--user-data-dir=" + profileDir, "about:blank"};
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    // Copied out of the way first, so that neither end sits on 3 or 4 already;
    // dup2 clears close-on-exec on the copies it makes.
    const int readEnd = fcntl(in[0], F_DUPFD, 10), writeEnd = fcntl(out[1], F_DUPFD, 10);
    if (readEnd < 0 || writeEnd < 0 || dup2(readEnd, 3) < 0 || dup2(writeEnd, 4) < 0) _exit(127);
    // The browser's own chatter stays out of the test's output.
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0) dup2(devNull, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  toBrowser_ = in[1];
  fromBrowser_ = out[0];
  if (pid_ < 0) return false;

  const QString target =
      call(QStringLiteral("Target.createTarget"), QJsonObject{{"url", QString::fromStdString(url)}}).value("targetId").toString();
  if (target.isEmpty()) return false;
  session_ = call(QStringLiteral("Target.attachToTarget"), QJsonObject{{"targetId", target}, {"flatten", true}})
                 .value("sessionId")
                 .toString();
  return !session_.isEmpty();
}

QJsonValue Browser::evaluate(const std::string& expression) {
  const QJsonObject result =
      call(QStringLiteral("Runtime.evaluate"),
           QJsonObject{{"expression", QString::fromStdString(expression)}, {"returnByValue", true}, {"awaitPromise", true}});
  if (result.contains("exceptionDetails")) return QJsonValue(QJsonValue::Undefined);
  return result.value("result").toObject().value("value");
}

bool Browser::waitUntil(const std::string& expression, std::chrono::seconds deadline) {
  const auto until = Clock::now() + deadline;
  for (;;) {
    if (evaluate(expression).toBool()) return true;
    if (Clock::now() >= until) return false;
    // The page changes on its own timers; there is nothing to wait on but asking again.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

QJsonObject Browser::call(const QString& method, const QJsonObject& params) {
  QJsonObject message{{"id", ++lastId_}, {"method", method}, {"params", params}};
  if (!session_.isEmpty()) message.insert("sessionId", session_);
  std::string bytes = QJsonDocument(message).toJson(QJsonDocument::Compact).toStdString();
  bytes.push_back('\0');
  for (std::size_t sent = 0; sent < bytes.size();) {
    const ssize_t n = write(toBrowser_, bytes.data() + sent, bytes.size() - sent);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {};
    sent += static_cast<std::size_t>(n);
  }
  // Answers and events arrive NUL-terminated; events are passed over.
  const auto until = Clock::now() + kCallTime;
  for (;;) {
    for (std::size_t end; (end = pending_.find('\0')) != std::string::npos;) {
      const QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(pending_.substr(0, end))).object();
      pending_.erase(0, end + 1);
      if (answer.value("id").toInt() == lastId_) return answer.value("result").toObject();
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return {};
    pollfd p{fromBrowser_, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return {};
    char buffer[65536];
    const ssize_t n = read(fromBrowser_, buffer, sizeof buffer);
    if (n <= 0) return {};
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace brelvo::service::test
