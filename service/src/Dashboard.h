#pragma once

#include "Listings.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace brelvo::service {

class Database;

struct DashboardRequest {
  PageRequest page;
  std::int64_t build = 0;   // a revision's id; 0: every build
  std::int64_t tester = 0;  // a tester's id; 0: every tester
};

// The dashboard page (GET /): projects and builds, then what testers sent,
// newest first, narrowed to one build and/or one tester, with a link to the
// older records. No value when the cursor is malformed.
std::optional<QByteArray> dashboardHtml(Database& db, const DashboardRequest& request);

// A text that changes whenever a device sent something or the builds or the
// testers' statuses changed: the page polls it to know when to refresh.
QString dashboardStamp(Database& db);

// The page's style sheet and script, served beside it.
extern const char* const kDashboardCss;
extern const char* const kDashboardScript;

}  // namespace brelvo::service
