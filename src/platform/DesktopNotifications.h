#pragma once

#include <QDateTime>
#include <QString>

// Desktop notifications through the session bus's freedesktop notification
// service (org.freedesktop.Notifications). Fire and forget: no reply is
// awaited, and without a session bus or a notification service nothing shows
// (an info line says so when the bus is missing).
namespace brelvo::desktopnotifications {

// Shows the text now, titled with the application's display name, with a
// "View Details" action.
void show(const QString& text);

// Shows the text at the date, or now when it has passed. GUI thread only: the
// wait is a timer of the application object, so it ends with the application.
void showAt(const QString& text, const QDateTime& date);

}  // namespace brelvo::desktopnotifications
