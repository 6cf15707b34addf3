#include "platform/NotificationCenter.h"
#include "protocol/BVReachability.h"
#include "support/TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sched.h>

using brelvo::BVReachability;

namespace {

std::unique_ptr<BVReachability> host() {
    return BVReachability::reachabilityWithHostName(QStringLiteral("example.org"));
}

bool run(const QString& command) {
    QProcess p;
    p.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace

TEST(ReachabilityStatus, FlagsGiveTheStatusKeysNameTheTargetsAndLoopbackIsAlwaysReachable) {
    const auto r = host();
    EXPECT_EQ(r->networkStatusForFlags(BVReachability::Reachable | BVReachability::IsWWAN), BVReachability::ReachableViaWWAN);
    EXPECT_EQ(r->networkStatusForFlags(BVReachability::Reachable | BVReachability::TransientConnection |
                                       BVReachability::ConnectionRequired),
              BVReachability::NotReachable);
    EXPECT_EQ(r->networkStatusForFlags(BVReachability::Reachable), BVReachability::ReachableViaWiFi);
    EXPECT_EQ(r->networkStatusForFlags(BVReachability::Reachable | BVReachability::IsDirect | BVReachability::IsLocalAddress),
              BVReachability::ReachableViaWiFi);
    EXPECT_EQ(r->networkStatusForFlags(BVReachability::Reachable | BVReachability::ConnectionRequired),
              BVReachability::ReachableViaWiFi);
    EXPECT_EQ(r->networkStatusForFlags(BVReachability::Reachable | BVReachability::TransientConnection),
              BVReachability::ReachableViaWiFi);
    EXPECT_EQ(r->networkStatusForFlags(BVReachability::Reachable | BVReachability::ConnectionOnTraffic),
              BVReachability::NotReachable);
    for (quint32 f : {0u, 0x1u, 0x4u, 0x40000u, 0x20000u}) EXPECT_EQ(r->networkStatusForFlags(f), BVReachability::NotReachable);

    const auto wifi = BVReachability::reachabilityForLocalWiFi();
    EXPECT_EQ(wifi->networkStatusForFlags(BVReachability::Reachable | BVReachability::IsDirect), BVReachability::ReachableViaWiFi);
    EXPECT_EQ(wifi->networkStatusForFlags(BVReachability::Reachable), BVReachability::NotReachable);

    EXPECT_EQ(BVReachability::makeAddressKey(inet_addr("169.254.0.0")), QStringLiteral("169.254.0.0"));
    EXPECT_EQ(BVReachability::makeAddressKey(inet_addr("10.1.2.3")), QStringLiteral("10.1.2.3"));
    EXPECT_EQ(BVReachability::reachabilityForInternetConnection()->key(), QStringLiteral("InternetConnection"));
    EXPECT_EQ(BVReachability::reachabilityForLocalWiFi()->key(), QStringLiteral("LocalWiFiConnection"));
    EXPECT_EQ(host()->key(), QStringLiteral("example.org"));
    EXPECT_EQ(BVReachability::reachabilityWithHostName(QString()), nullptr);
    EXPECT_TRUE(host()->isEqual(*host()));
    EXPECT_FALSE(host()->isEqual(*BVReachability::reachabilityForLocalWiFi()));

    const auto local = BVReachability::reachabilityWithHostName(QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(local->reachabilityFlags() & BVReachability::Reachable);
    EXPECT_EQ(local->currentReachabilityStatus(), BVReachability::ReachableViaWiFi);
    EXPECT_TRUE(local->isReachable());
    EXPECT_FALSE(local->isReachableViaWWAN());
    EXPECT_FALSE(local->isConnectionRequired());
}

// A private network namespace: only loopback, then a veth pair with an address
// and a default route. Each change must reach the observer as a notification
// carrying the reachability object.
TEST(ReachabilityChanges, ANewDefaultRouteIsAnnounced) {
    if (unshare(CLONE_NEWNET) != 0) GTEST_SKIP() << "cannot make a network namespace here (needs CAP_SYS_ADMIN)";
    ASSERT_TRUE(run(QStringLiteral("ip link set lo up")));

    auto internet = BVReachability::reachabilityForInternetConnection();
    auto remote = BVReachability::reachabilityWithAddress([] {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = inet_addr("10.77.0.2");
        return a;
    }());
    EXPECT_FALSE(internet->isReachable());
    EXPECT_FALSE(remote->isReachable());

    QList<QObject*> seen;
    const auto token = brelvo::NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("NetworkReachabilityChangedNotification"),
        [&](const brelvo::Notification& n) { seen.append(n.object.value<QObject*>()); });
    ASSERT_TRUE(internet->startNotifier());

    ASSERT_TRUE(run(QStringLiteral("ip link add brv0 type veth peer name brv1 && ip addr add 10.77.0.1/24 dev brv0 && "
                                   "ip link set brv1 up && ip link set brv0 up && ip route add default via 10.77.0.2")));
    EXPECT_TRUE(brelvo::test::waitFor([&] { return !seen.isEmpty(); }));
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.last(), internet.get());
    EXPECT_TRUE(internet->isReachable());
    EXPECT_TRUE(remote->reachabilityFlags() & BVReachability::IsDirect);

    seen.clear();
    ASSERT_TRUE(run(QStringLiteral("ip link del brv0")));
    EXPECT_TRUE(brelvo::test::waitFor([&] { return !seen.isEmpty(); }));
    EXPECT_FALSE(internet->isReachable());
    brelvo::NotificationCenter::defaultCenter().removeObserver(token);
    internet->stopNotifier();
}
