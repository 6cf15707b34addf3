#pragma once

#include <QString>

namespace brelvo::connectivity {

// The host of the service's base URL.
QString serviceHost();

// Whether the service's host can be reached now (a fresh reachability check).
// When it cannot, "No internet connection" goes into the shared error record.
bool reachable();

}  // namespace brelvo::connectivity
