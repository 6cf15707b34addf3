#include "support/TestSupport.h"

#include <QTest>

namespace brelvo::test {

QString home() {
    return qEnvironmentVariable("BRELVO_HOME");
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    return QTest::qWaitFor(condition, static_cast<int>(deadline.count()));
}

}  // namespace brelvo::test
