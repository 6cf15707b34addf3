#pragma once

#include <QString>

// Texts the user sees in more than one screen, each defined once.
namespace brelvo::texts {

// The alert offered when the companion app that opens the tester's profile is
// missing; "YES" leads to the service's web page.
inline QString installAlertTitle() { return QStringLiteral("Error"); }
inline QString installAlertMessage() {
    return QStringLiteral("Seems like Brelvo for iOS is not installed. Do you want to install it?");
}
inline QString installAlertNo() { return QStringLiteral("NO"); }
inline QString installAlertYes() { return QStringLiteral("YES"); }

// The lock screen's message while the session is being opened.
inline QString loadingMessage() { return QStringLiteral("Loading. Please wait"); }

}  // namespace brelvo::texts
