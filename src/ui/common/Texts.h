#pragma once

#include <QString>

// Texts the user sees in more than one screen, each defined once.
namespace brelvo::texts {

// The library's alerts.
inline QString errorTitle() { return QStringLiteral("Error"); }
inline QString okButton() { return QStringLiteral("OK"); }

// The alert offered when the companion app that opens the tester's profile is
// missing; "YES" leads to the service's web page.
inline QString installAlertTitle() { return errorTitle(); }
inline QString installAlertMessage() {
    return QStringLiteral("Seems like Brelvo for iOS is not installed. Do you want to install it?");
}
inline QString installAlertNo() { return QStringLiteral("NO"); }
inline QString installAlertYes() { return QStringLiteral("YES"); }

// The limit of five screenshots, told by the issue form and the menu panel.
inline QString warningTitle() { return QStringLiteral("Warning"); }
inline QString screenshotLimitMessage() { return QStringLiteral("Not more than 5 screenshots!"); }

// The lock screen's message while the session is being opened.
inline QString loadingMessage() { return QStringLiteral("Loading. Please wait"); }

}  // namespace brelvo::texts
