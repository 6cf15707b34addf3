#pragma once

#include <QString>

namespace brelvo::connectivity {

// The host of the service's base URL.
QString serviceHost();

// Whether the service's host can be reached now (a fresh reachability check).
// When it cannot, "No internet connection" goes into the shared error record.
bool reachable();

// The same check without touching the error record: for background checks
// that have no message to show. May wait for name resolution, so never on the
// GUI thread.
bool serviceReachable();

}  // namespace brelvo::connectivity
