#pragma once

#include "diagnostics/BrelvoException.h"

#include <functional>

namespace brelvo::crash {

// What the handling step needs from above diagnostics/ (which has no
// widgets): the facade registers these when it installs the crash path.
struct HandlingHooks {
    // Runs first: the host's last save.
    std::function<void()> saveCriticalData;
    // The interactive part, on the GUI thread of a widgets application: the
    // crash alert, kept up until the tester answers. Returns once they did.
    std::function<void()> alertStep;
};
void setHandlingHooks(HandlingHooks hooks);

// The handling step, on the GUI thread (or on the failing thread when there
// is no application object): makes the stack readable, sends the report (or
// queues it), marks it delivered in the crash file, runs the alert step, then
// lets the process die as the failure would have. It does not return.
[[noreturn]] void handleException(const BrelvoException& exception);

}  // namespace brelvo::crash
