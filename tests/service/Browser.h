#pragma once

#include <QJsonObject>
#include <QJsonValue>

#include <chrono>
#include <string>
#include <sys/types.h>

namespace brelvo::service::test {

// A headless Chromium driven over its DevTools pipe: one page, JavaScript
// evaluated in it. The destructor kills the browser.
class Browser {
 public:
  Browser() = default;
  ~Browser();
  Browser(const Browser&) = delete;
  Browser& operator=(const Browser&) = delete;

  // The browser's path; empty when none is installed.
  static std::string executable();

  // Starts the browser with its profile under profileDir and opens url in a page.
  bool open(const std::string& url, const std::string& profileDir);
  // The value of a JavaScript expression (promises awaited); undefined when
  // it threw or the browser did not answer.
  QJsonValue evaluate(const std::string& expression);
  // Evaluates the expression until it is true, up to the deadline.
  bool waitUntil(const std::string& expression, std::chrono::seconds deadline = std::chrono::seconds(20));

 private:
  QJsonObject call(const QString& method, const QJsonObject& params);

  pid_t pid_ = -1;
  int toBrowser_ = -1;
  int fromBrowser_ = -1;
  std::string pending_;
  int lastId_ = 0;
  QString session_;
};

}  // namespace brelvo::service::test
