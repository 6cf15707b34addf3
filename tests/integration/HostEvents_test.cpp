// What the host hears through the events object while real sessions meet the
// real brelvo-service: refusals, an unreachable service, an accepted tester
// and the delivery of its log lines.
#include <brelvo/Brelvo.h>

#include "core/BrelvoComponents.h"
#include "platform/NotificationCenter.h"
#include "protocol/BVReachability.h"
#include "protocol/NetworkClientBrelvo.h"
#include "service/ServiceHarness.h"
#include "state/NotificationNames.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace brelvo;
using brelvo::service::test::ServiceFixture;

namespace {

// An address on which nothing listens: a port the system just handed out and
// took back.
QString closedServiceUrl() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (fd >= 0) ::close(fd);
    return bound ? QStringLiteral("http://127.0.0.1:%1/").arg(ntohs(address.sin_port)) : QString();
}

class HostEvents : public ServiceFixture {};

}  // namespace

TEST_F(HostEvents, TellRefusalsAnUnreachableServiceASessionAndItsLogDeliveries) {
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.notes"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.4"));
    NetworkClientBrelvo::shared().setTimeout(std::chrono::milliseconds(5000));
    BVReachability::setResolveTimeout(2000);
    QWidget host;
    host.resize(320, 568);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));

    BrelvoEvents& events = Brelvo::events();
    QSignalSpy refused(&events, &BrelvoEvents::sessionRefused);
    QSignalSpy unreachable(&events, &BrelvoEvents::serviceUnreachable);
    QSignalSpy started(&events, &BrelvoEvents::sessionStarted);
    QSignalSpy logSent(&events, &BrelvoEvents::logBatchSent);
    QSignalSpy logQueued(&events, &BrelvoEvents::logBatchQueued);
    // The requests run on the pool; the host's slots must still run on the GUI thread.
    std::atomic<int> offGuiThread{0};
    for (auto signal : {&BrelvoEvents::serviceUnreachable, &BrelvoEvents::logBatchSent, &BrelvoEvents::logBatchQueued})
        QObject::connect(&events, signal, &events, [&] { offGuiThread += QThread::currentThread() != qApp->thread(); },
                         Qt::DirectConnection);
    auto reauthenticate = [] { NotificationCenter::defaultCenter().post(notifications::kAuthentication); };
    const auto patience = std::chrono::seconds(20);
    test::LogCapture log("brelvo");
    Brelvo& brelvo = Brelvo::shared();
    const QString serviceUrl = QStringLiteral("http://127.0.0.1:%1/").arg(service_.port());
    const QString closedUrl = closedServiceUrl();
    ASSERT_FALSE(closedUrl.isEmpty());

    // A key that names no project.
    qApp->setProperty("brelvo_project_id", QStringLiteral("no-such-key"));
    brelvo.setServiceUrl(serviceUrl);
    brelvo.initialize();
    ASSERT_TRUE(test::waitFor([&] { return refused.size() == 1; }, patience));
    EXPECT_EQ(refused[0][0].toString(), QStringLiteral("Unknown API key. Check the project id of this build."));
    EXPECT_EQ(log.count(QStringLiteral("BRELVO_PROJECT_ID")), 1);
    EXPECT_EQ(log.count(QStringLiteral("no-such-key")), 0);
    EXPECT_FALSE(brelvo.isInit());

    // An application the project does not know.
    brelvo.setApiKey(QStringLiteral("demo-key-0001"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.stranger"));
    reauthenticate();
    ASSERT_TRUE(test::waitFor([&] { return refused.size() == 2; }, patience));
    EXPECT_EQ(refused[1][0].toString(),
              QStringLiteral("The application \"org.brelvo.stranger\" is not part of this project"));
    EXPECT_EQ(log.count(QStringLiteral("register the application \"org.brelvo.stranger\"")), 1);

    // Nothing listens at the address.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.brelvo.notes"));
    brelvo.setServiceUrl(closedUrl);
    reauthenticate();
    ASSERT_TRUE(test::waitFor([&] { return unreachable.size() == 1; }, patience));
    EXPECT_EQ(log.count(QStringLiteral("BRELVO_SERVICE_URL")), 1);
    EXPECT_TRUE(started.isEmpty());

    // The service accepts: the tester's name comes with the session.
    brelvo.setServiceUrl(serviceUrl);
    reauthenticate();
    ASSERT_TRUE(test::waitFor([&] { return started.size() == 1; }, patience));
    EXPECT_EQ(started[0][0].toString(), QStringLiteral("Mira Castell"));
    EXPECT_TRUE(brelvo.isInit());

    // A log line is delivered; with the service gone the next one is kept.
    brelvo.BVLog(QStringLiteral("first"), LogLevel::Info);
    ASSERT_TRUE(test::waitFor([&] { components().checkLogs(); return logSent.size() >= 1; }, patience));
    brelvo.setServiceUrl(closedUrl);
    brelvo.BVLog(QStringLiteral("second"), LogLevel::Warning);
    ASSERT_TRUE(test::waitFor([&] { components().checkLogs(); return logQueued.size() >= 1; }, patience));
    EXPECT_EQ(offGuiThread, 0);
    EXPECT_EQ(refused.size(), 2);  // one signal per refusal
}
