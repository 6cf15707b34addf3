#pragma once

#include <QLoggingCategory>

namespace brelvo {

// Every line the library writes to the device log goes through this category,
// so that a host can silence or filter it with QT_LOGGING_RULES="brelvo*=false".
// Warnings show by default; the chattier lines (what was kept for a later
// resend, what a missing optional library turns off) only with
// QT_LOGGING_RULES="brelvo.info=true".
Q_DECLARE_LOGGING_CATEGORY(lcBrelvo)

// What the tester touches in the host app (button titles, rows, values):
// user content, so it is off unless asked for with
// QT_LOGGING_RULES="brelvo.activity.info=true".
Q_DECLARE_LOGGING_CATEGORY(lcActivity)

}  // namespace brelvo
