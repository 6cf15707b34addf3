#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

namespace brelvo::http {

// Answers larger than this are dropped: pictures are far smaller, and a
// runaway body must not take the host's memory.
constexpr qint64 kMaxGetBytes = 32 * 1024 * 1024;

// The time-out of get() when none is given (30 s unless a test shortens it).
std::chrono::milliseconds defaultGetTimeout();
void setDefaultGetTimeout(std::chrono::milliseconds timeout);

// The schemes a redirect may lead to from a first address of the given
// scheme (as libcurl names them): an https address never goes on over plain
// http, where the picture could be read or swapped on the way.
const char* redirectProtocols(const QString& scheme);

// Sets libcurl up for the process, once, from whichever thread asks first.
// Every request calls it before its first handle: the set-up costs most of a
// millisecond, which start-up need not pay.
void initCurlOnce();

// A blocking GET of an http or https URL, following up to five redirects
// (those redirectProtocols allows). The body of a 2xx answer, possibly empty; none (and
// a log line) for any other scheme, a malformed URL, a failed or timed-out
// transfer, another status, or a body over kMaxGetBytes. Safe on any thread.
std::optional<QByteArray> get(const QString& url, std::chrono::milliseconds timeout = defaultGetTimeout());

}  // namespace brelvo::http
