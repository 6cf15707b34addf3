// Local notifications of a real host process, received by a stand-in
// notification server on a private session bus.
#include "diagnostics/HostRun.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDateTime>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <mutex>

using brelvo::test::HostRun;

namespace {

// Answers org.freedesktop.Notifications.Notify and keeps what it was asked.
class NotificationServer : public QDBusVirtualObject {
public:
    struct Call {
        QVariantList arguments;
        QDateTime at;
    };

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != QLatin1String("org.freedesktop.Notifications") ||
            message.member() != QLatin1String("Notify"))
            return false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            calls_.append(Call{message.arguments(), QDateTime::currentDateTime()});
        }
        connection.send(message.createReply(QVariantList{uint(1)}));
        return true;
    }
    QString introspect(const QString&) const override { return QString(); }

    QList<Call> calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

private:
    mutable std::mutex mutex_;
    QList<Call> calls_;
};

}  // namespace

TEST(LocalNotification, ShownByTheDesktopsNotificationServiceAtItsDate) {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());

    QProcess bus;
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                       QStringLiteral("--address=unix:path=") + home.filePath(QStringLiteral("bus")),
                       QStringLiteral("--print-address")});
    ASSERT_TRUE(bus.waitForStarted());
    ASSERT_TRUE(brelvo::test::waitFor([&] { return bus.canReadLine() || bus.waitForReadyRead(50); }));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    ASSERT_FALSE(address.isEmpty());

    {
        QDBusConnection connection = QDBusConnection::connectToBus(address, QStringLiteral("notification-server"));
        ASSERT_TRUE(connection.isConnected()) << connection.lastError().message().toStdString();
        NotificationServer server;
        ASSERT_TRUE(connection.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &server));
        ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.Notifications")));

        HostRun run(home.path());
        const QDateTime asked = QDateTime::currentDateTime();
        ASSERT_TRUE(run.spawn(QStringLiteral("notify"), QStringLiteral("http://127.0.0.1:1/"), "1", 0,
                              {"DBUS_SESSION_BUS_ADDRESS=" + address.toStdString()}));
        ASSERT_TRUE(brelvo::test::waitFor([&] { return !server.calls().isEmpty(); }, std::chrono::seconds(20)))
            << run.output().toStdString();
        ASSERT_TRUE(run.wait()) << run.output().toStdString();
        EXPECT_TRUE(WIFEXITED(run.status()) && WEXITSTATUS(run.status()) == 0) << run.output().toStdString();

        const QList<NotificationServer::Call> calls = server.calls();
        ASSERT_EQ(calls.size(), 1) << "shown once";
        // Not before its date (the host asked for 1.5 s after its start-up).
        EXPECT_GE(asked.msecsTo(calls[0].at), 1500);
        const QVariantList a = calls[0].arguments;
        ASSERT_EQ(a.size(), 8);
        EXPECT_EQ(a[0].toString(), a[3].toString()) << "the application's name is also the summary";
        EXPECT_FALSE(a[0].toString().isEmpty());
        EXPECT_EQ(a[1].toUInt(), 0u);
        EXPECT_EQ(a[4].toString(), QStringLiteral("Build 2.5 \"Notes\" is ready"));
        EXPECT_EQ(a[5].toStringList(), (QStringList{"default", "View Details"}));
        EXPECT_EQ(a[7].toInt(), -1);
        connection.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("notification-server"));
    bus.terminate();
    bus.waitForFinished();
}
