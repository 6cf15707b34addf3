#pragma once

#include <QString>

#include <chrono>
#include <functional>

namespace brelvo::test {

// The per-process home folder the test main made (BRELVO_HOME).
QString home();

// Spins the event loop until the condition holds or the deadline passes.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline = std::chrono::seconds(10));

}  // namespace brelvo::test
