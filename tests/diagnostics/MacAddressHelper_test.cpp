#include "diagnostics/MacAddressHelper.h"

#include "diagnostics/DiagnosticsTestUtil.h"
#include "diagnostics/GetSystemInfoBrelvo.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace brelvo;
using brelvo::test::FakeTree;
using brelvo::test::LogCapture;

namespace {

const QByteArray kRouteHeader =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

QByteArray route(const char* interface, const char* destination, const char* flags, int metric,
                 const char* mask) {
    return QByteArray(interface) + '\t' + destination + "\t0102A8C0\t" + flags + "\t0\t0\t" +
           QByteArray::number(metric) + '\t' + mask + "\t0\t0\t0\n";
}

class InterfaceChoice : public ::testing::Test {
protected:
    void SetUp() override {
        GetSystemInfoBrelvo::setSysfsRootForTesting(sys.root());
        GetSystemInfoBrelvo::setProcRootForTesting(proc.root());
        proc.write("net/route", kRouteHeader);
        addInterface("lo", 772, false);
        addInterface("docker0", 1, false);
        addInterface("enp3s0", 1, true);
    }
    void TearDown() override {
        GetSystemInfoBrelvo::setSysfsRootForTesting(QString());
        GetSystemInfoBrelvo::setProcRootForTesting(QString());
    }
    void addInterface(const QString& name, int type, bool physical) {
        sys.write("class/net/" + name + "/type", QByteArray::number(type) + "\n");
        if (physical) sys.mkdir("class/net/" + name + "/device");
    }
    FakeTree sys;
    FakeTree proc;
};

bool isAddressOrFailure(const QString& text) {
    static const QRegularExpression address(QStringLiteral("^([0-9A-F]{2}:){5}[0-9A-F]{2}$"));
    return address.match(text).hasMatch() || text == MacAddressHelper::kNoInterface ||
           text == MacAddressHelper::kListFailure || text == MacAddressHelper::kAllocationFailure ||
           text == MacAddressHelper::kNoLinkAddress;
}

}  // namespace

TEST_F(InterfaceChoice, DefaultRouteWithTheLowestMetricWinsAndRoutesThatCannotNameTheDeviceArePassedOver) {
    proc.write("net/route", kRouteHeader + route("enp3s0", "0000A8C0", "0001", 100, "00FFFFFF") +
                                route("wlp2s0", "00000000", "0003", 600, "00000000") +
                                route("enx00e04c", "00000000", "0003", 100, "00000000"));
    EXPECT_EQ(MacAddressHelper::preferredInterface(), QStringLiteral("enx00e04c"));

    addInterface("tun0", 65534, false);
    addInterface("wlan0", 1, true);
    sys.mkdir("class/net/wlan0/wireless");
    proc.write("net/route", kRouteHeader + route("tun0", "00000000", "0001", 0, "00000000") +  // a VPN
                                route("enp3s0", "00000000", "0000", 0, "00000000") +         // down
                                route("lo", "00000000", "0001", 0, "00000000"));
    EXPECT_EQ(MacAddressHelper::preferredInterface(), QStringLiteral("wlan0"));
}

TEST_F(InterfaceChoice, WithoutDefaultRouteWirelessThenPhysicalThenAnyWired) {
    addInterface("wlan0", 1, true);
    sys.mkdir("class/net/wlan0/wireless");
    EXPECT_EQ(MacAddressHelper::preferredInterface(), QStringLiteral("wlan0"));

    sys.remove("class/net/wlan0");
    EXPECT_EQ(MacAddressHelper::preferredInterface(), QStringLiteral("enp3s0"));

    sys.remove("class/net/enp3s0");
    EXPECT_EQ(MacAddressHelper::preferredInterface(), QStringLiteral("docker0"));

    sys.remove("class/net/docker0");
    EXPECT_EQ(MacAddressHelper::preferredInterface(), QString());
    EXPECT_EQ(MacAddressHelper::readMacAddress(), MacAddressHelper::kNoInterface);
}

TEST_F(InterfaceChoice, VanishedInterfaceGivesTheFailureTextAndLogsIt) {
    proc.write("net/route", kRouteHeader + route("gone-if0", "00000000", "0003", 0, "00000000"));
    bool failed = false;
    EXPECT_EQ(MacAddressHelper::readMacAddress(&failed), QStringLiteral("if_nametoindex failure"));
    EXPECT_TRUE(failed);

    LogCapture log;
    EXPECT_EQ(MacAddressHelper::getMacAddress(), QStringLiteral("if_nametoindex failure"));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("Error: if_nametoindex failure"))) << log.lines().join('|').toStdString();
    // The device information answers the same text, without the log line.
    EXPECT_EQ(GetSystemInfoBrelvo::shared().getWifiMacAddress(), QStringLiteral("if_nametoindex failure"));
    EXPECT_EQ(GetSystemInfoBrelvo::shared().getDeviceUDID(), QStringLiteral("if_nametoindex failure"));
}

TEST(MacAddress, ThisMachineGivesAnAddressOrAFailureText) {
    bool failed = true;
    const QString text = MacAddressHelper::readMacAddress(&failed);
    EXPECT_TRUE(isAddressOrFailure(text)) << text.toStdString();
    EXPECT_EQ(failed, text.size() != 17);
    EXPECT_EQ(GetSystemInfoBrelvo::shared().getDeviceUDID(), text);
}
