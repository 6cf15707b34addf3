#include "platform/DesktopNotifications.h"

#include "platform/Log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <chrono>
#include <limits>

namespace brelvo::desktopnotifications {

void show(const QString& text) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCInfo(lcBrelvo) << "no session bus: the notification is not shown";
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QString app = QGuiApplication::applicationDisplayName();
    const QVariantMap hints{{QStringLiteral("sound-name"), QStringLiteral("message-new-instant")}};
    call << app << uint(0) << QString() << app << text
         << QStringList{QStringLiteral("default"), QCoreApplication::translate("Brelvo", "View Details")}
         << hints << int(-1);
    bus.send(call);  // no reply awaited: without a notification service nothing shows
}

// Timers longer than an int of milliseconds are re-armed until the date is near.
void showAt(const QString& text, const QDateTime& date) {
    const qint64 wait = QDateTime::currentDateTime().msecsTo(date);
    if (wait <= 0) {
        show(text);
        return;
    }
    const qint64 step = qMin<qint64>(wait, std::numeric_limits<int>::max() / 2);
    // Precise: a coarse timer may fire up to 5% early, minutes before a date hours away.
    QTimer::singleShot(std::chrono::milliseconds(step), Qt::PreciseTimer, qApp,
                       [text, date] { showAt(text, date); });
}

}  // namespace brelvo::desktopnotifications
