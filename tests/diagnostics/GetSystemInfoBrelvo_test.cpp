#include "diagnostics/GetSystemInfoBrelvo.h"

#include "diagnostics/DiagnosticsTestUtil.h"
#include "platform/AppPaths.h"
#include "platform/CategoryHelper.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScreen>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

using namespace brelvo;
using brelvo::test::FakeTree;
using brelvo::test::LogCapture;
using brelvo::test::jsonObject;

namespace {

GetSystemInfoBrelvo& info() {
    return GetSystemInfoBrelvo::shared();
}

bool matches(const QString& pattern, const QString& text) {
    return QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(text).hasMatch();
}

// Restores the real /sys and /proc and drops the model override.
class DeviceInfoTest : public ::testing::Test {
protected:
    void TearDown() override {
        GetSystemInfoBrelvo::setSysfsRootForTesting(QString());
        GetSystemInfoBrelvo::setProcRootForTesting(QString());
        GetSystemInfoBrelvo::setPlatformOverride(QString());
        qunsetenv("BRELVO_MODEL_IDENTIFIER");
        qunsetenv("BRELVO_AD_ID");
        qApp->setProperty("brelvo_ad_id", QVariant());
    }
    FakeTree sys;
    FakeTree proc;
};

}  // namespace

// ---- model identifier and its tables -------------------------------------------------

TEST_F(DeviceInfoTest, ModelIdentifierSourcesAndTheTablesOnOverriddenIdentifiers) {
    struct Row {
        const char* id;
        const char* name;
        const char* wwan;
    };
    const Row rows[] = {
        {"iPhone1,1", "iPhone 1G", "2G"},
        {"iPhone2,1", "iPhone 3GS", "2G, 3G"},
        {"iPhone3,3", "iPhone 4 Verizon", "2G, 3G"},
        {"iPhone4,2", "iPhone 4S", "2G, 3G"},
        {"iPhone5,3", "iPhone 5", "2G, 3G, 4G"},
        {"iPod5,1", "iPod Touch 5G", "NO"},
        {"iPad2,1", "iPad 2 (WiFi)", "NO"},
        {"iPad2,3", "iPad 2 (CDMA)", "3G"},
        {"iPad3,1", "iPad 3 (WiFi)", "NO"},
        {"iPad3,2", "iPad 3 (GSM)", "2G, 3G, 4G"},
        {"i386", "Simulator", "NO"},
        {"x86_64", "Simulator", "NO"},
        // Not in the tables: derived from the family, and cellular defaults.
        {"iPhone6,1", "Newer iPhone", "2G,3G"},
        {"iPhone3,4", "iPhone4", "2G,3G"},
        {"iPhone4,9", "iPhone4s", "2G,3G"},
        {"iPhone5,9", "iPhone5", "2G,3G"},
        {"iPhone", "Newer iPhone", "2G,3G"},
        {"iPod7,1", "Newer iPod", "2G,3G"},
        {"iPad9,4", "Newer iPad", "2G,3G"},
        {"AppleTV2,1", "AppleTV2,1", "2G,3G"},
        {"Standard PC (Q35 + ICH9, 2009)", "Standard PC (Q35 + ICH9, 2009)", "2G,3G"},
    };
    for (const Row& row : rows) {
        GetSystemInfoBrelvo::setPlatformOverride(QString::fromLatin1(row.id));
        EXPECT_EQ(info().platform(), QString::fromLatin1(row.id));
        EXPECT_EQ(info().platformString(), QString::fromLatin1(row.name)) << row.id;
        EXPECT_EQ(info().getTypeOfWWAN(), QString::fromLatin1(row.wwan)) << row.id;
    }
    EXPECT_EQ(info().getDevicePlatform(), QStringLiteral("Hardware platform: Standard PC (Q35 + ICH9, 2009)"));

    GetSystemInfoBrelvo::setPlatformOverride(QString());
    GetSystemInfoBrelvo::setSysfsRootForTesting(sys.root());
    EXPECT_EQ(info().platform(), QStringLiteral("Linux"));

    sys.write("class/dmi/id/product_name", "  ThinkPad X13 Gen 2i \n");
    EXPECT_EQ(info().platform(), QStringLiteral("ThinkPad X13 Gen 2i"));

    // A device tree's model ends in NUL and wins over DMI.
    sys.write("firmware/devicetree/base/model", QByteArray("Pine64 PinePhone\0", 17));
    EXPECT_EQ(info().platform(), QStringLiteral("Pine64 PinePhone"));

    qputenv("BRELVO_MODEL_IDENTIFIER", "x86_64");
    EXPECT_EQ(info().platform(), QStringLiteral("x86_64"));
    GetSystemInfoBrelvo::setPlatformOverride(QStringLiteral("iPhone5,2"));
    EXPECT_EQ(info().platform(), QStringLiteral("iPhone5,2"));
    GetSystemInfoBrelvo::setPlatformOverride(QString());
    EXPECT_EQ(info().platform(), QStringLiteral("x86_64"));
}

// ---- sizes and disk --------------------------------------------------------------

TEST(ThisMachine, SizesScaleUpToGigabytesOnlyAndDiskAndMemoryFiguresArePlausible) {
    constexpr quint64 KiB = 1024, MiB = KiB * 1024, GiB = MiB * 1024;
    EXPECT_EQ(GetSystemInfoBrelvo::scaledSizeText(1025), QStringLiteral("1.00  KB"));
    EXPECT_EQ(GetSystemInfoBrelvo::scaledSizeText(1536 * MiB), QStringLiteral("1.50  GB"));
    EXPECT_EQ(GetSystemInfoBrelvo::scaledSizeText(16 * GiB), QStringLiteral("16.00  GB"));
    EXPECT_EQ(GetSystemInfoBrelvo::scaledSizeText(5000 * GiB), QStringLiteral("5000.00  GB"));
    // A step is taken only above 1024.
    EXPECT_EQ(GetSystemInfoBrelvo::scaledSizeText(MiB), QStringLiteral("1024.00  KB"));
    EXPECT_EQ(GetSystemInfoBrelvo::scaledSizeText(1024), QStringLiteral("1024.00 "));
    EXPECT_EQ(GetSystemInfoBrelvo::scaledSizeText(0), QStringLiteral("0.00 "));

    const QString size = QStringLiteral(R"(\d+\.\d\d ( KB| MB| GB)?)");
    EXPECT_TRUE(matches(size, info().getTotalDiskSpace())) << info().getTotalDiskSpace().toStdString();
    EXPECT_TRUE(matches(size, info().getAvailableDiskSpace())) << info().getAvailableDiskSpace().toStdString();
    bool ok = false;
    EXPECT_GT(info().getRom().toULongLong(&ok), 0u);
    EXPECT_TRUE(ok);
    EXPECT_GT(info().getFreeMemory(), 0);
    EXPECT_GT(info().getUsedMemory(), 0);
    EXPECT_GT(info().getRam().toULongLong(), quint64(info().getFreeMemory() + info().getUsedMemory()) << 19);
}

// ---- battery and power -------------------------------------------------------------

TEST_F(DeviceInfoTest, BatteryLevel) {
    GetSystemInfoBrelvo::setSysfsRootForTesting(sys.root());
    // No battery at all: the level is unknown and reads 100.
    EXPECT_EQ(info().getBatteryLevel(), 100);

    // A wireless mouse's battery is not the machine's.
    sys.write("class/power_supply/hidpp_battery_0/type", "Battery\n");
    sys.write("class/power_supply/hidpp_battery_0/scope", "Device\n");
    sys.write("class/power_supply/hidpp_battery_0/capacity", "5\n");
    EXPECT_EQ(info().getBatteryLevel(), 100);

    // Only energy counters: 0.505 is truncated to 50.
    sys.write("class/power_supply/BAT0/type", "Battery\n");
    sys.write("class/power_supply/BAT0/status", "Discharging\n");
    sys.write("class/power_supply/BAT0/energy_now", "505000\n");
    sys.write("class/power_supply/BAT0/energy_full", "1000000\n");
    EXPECT_EQ(info().getBatteryLevel(), 50);
    EXPECT_EQ(jsonObject(info().getPhoneState()).value("battery_level").toString(), QStringLiteral("50%"));

    // The kernel's own percentage wins and is taken as it is.
    sys.write("class/power_supply/BAT0/capacity", "57\n");
    EXPECT_EQ(info().getBatteryLevel(), 57);

    // An empty battery slot counts as no battery.
    sys.write("class/power_supply/BAT0/present", "0\n");
    EXPECT_EQ(info().getBatteryLevel(), 100);
    EXPECT_EQ(jsonObject(info().getPhoneState()).value("battery_level").toString(), QStringLiteral("100%"));
}

TEST_F(DeviceInfoTest, ExternalPower) {
    GetSystemInfoBrelvo::setSysfsRootForTesting(sys.root());
    EXPECT_EQ(info().getBatteryHasExternalPower(), QStringLiteral("NO"));

    // A desktop: no battery, but mains delivering power.
    sys.write("class/power_supply/AC/type", "Mains\n");
    sys.write("class/power_supply/AC/online", "1\n");
    EXPECT_EQ(info().getBatteryHasExternalPower(), QStringLiteral("YES"));
    sys.write("class/power_supply/AC/online", "0\n");
    EXPECT_EQ(info().getBatteryHasExternalPower(), QStringLiteral("NO"));

    sys.write("class/power_supply/BAT1/type", "Battery\n");
    sys.write("class/power_supply/BAT1/capacity", "80\n");
    for (const char* status : {"Charging", "Full"}) {
        sys.write("class/power_supply/BAT1/status", QByteArray(status) + "\n");
        EXPECT_EQ(info().getBatteryHasExternalPower(), QStringLiteral("YES")) << status;
    }
    // Held at a charge limit: plugged in exactly when the mains is online.
    sys.write("class/power_supply/BAT1/status", "Not charging\n");
    EXPECT_EQ(info().getBatteryHasExternalPower(), QStringLiteral("NO"));
    sys.write("class/power_supply/AC/online", "1\n");
    EXPECT_EQ(info().getBatteryHasExternalPower(), QStringLiteral("YES"));
    EXPECT_EQ(jsonObject(info().getPhoneState()).value("external_power").toString(), QStringLiteral("YES"));
    // Discharging says no whatever the other supplies claim.
    sys.write("class/power_supply/BAT1/status", "Discharging\n");
    EXPECT_EQ(info().getBatteryHasExternalPower(), QStringLiteral("NO"));
}

// ---- memory ------------------------------------------------------------------------

TEST_F(DeviceInfoTest, MemoryFromMeminfoAndZeroWithoutIt) {
    GetSystemInfoBrelvo::setProcRootForTesting(proc.root());
    {
        LogCapture log;
        EXPECT_EQ(info().getFreeMemory(), 0);
        EXPECT_EQ(info().getUsedMemory(), 0);
        EXPECT_EQ(log.lines().count(QStringLiteral("Failed to fetch vm statistics")), 2);
    }
    proc.write("meminfo",
               "MemTotal:       16303848 kB\n"
               "MemFree:         8388608 kB\n"
               "MemAvailable:   12000000 kB\n"
               "Active:          1048576 kB\n"
               "Inactive:         524288 kB\n"
               "Unevictable:        1024 kB\n"
               "Mlocked:            1024 kB\n"
               "SReclaimable:     999996 kB\n"
               "SUnreclaim:       102400 kB\n"
               "KernelStack:       16384 kB\n"
               "PageTables:        32768 kB\n"
               "HugePages_Total:       0\n");
    EXPECT_EQ(info().getFreeMemory(), 8192);
    // Active + Inactive + Unevictable + SUnreclaim + KernelStack + PageTables = 1725440 kB.
    EXPECT_EQ(info().getUsedMemory(), 1685);
    // (8388608 + 1725440) KiB: the whole count, well past 32 bits.
    EXPECT_EQ(info().getRam(), QStringLiteral("10356785152"));
    EXPECT_EQ(jsonObject(info().getPhoneState()).value("free_ram").toString(), QStringLiteral("8192 Mb"));

    // A file without the counters is as good as none.
    proc.write("meminfo", "MemTotal: 1000 kB\nMemFree: 500 kB\n");
    LogCapture log;
    EXPECT_EQ(info().getFreeMemory(), 0);
    EXPECT_EQ(log.lines().count(QStringLiteral("Failed to fetch vm statistics")), 1);
}

// ---- identifiers -----------------------------------------------------------------

TEST_F(DeviceInfoTest, AdvertisingIdentifierIsMadeOnceKeptReplacedWhenDamagedAndCanBeTurnedOff) {
    const QString id = info().getAdvertisingIdentifier();
    EXPECT_TRUE(matches(QStringLiteral("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}"), id))
        << id.toStdString();
    EXPECT_EQ(info().getAdvertisingIdentifier(), id);
    QFile file(QDir(paths::documents()).filePath(QStringLiteral("brelvo-advertising-id")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLatin1(file.readAll()).trimmed(), id);

    qputenv("BRELVO_AD_ID", "off");
    EXPECT_TRUE(info().getAdvertisingIdentifier().isNull());
    // Documents then carry the text for no value.
    EXPECT_TRUE(info().getDeviceParams().startsWith(QStringLiteral("{\"udid\":\"(null)\",")));
    qunsetenv("BRELVO_AD_ID");
    EXPECT_EQ(info().getAdvertisingIdentifier(), id);

    // The host's own setting, checked before the environment.
    qApp->setProperty("brelvo_ad_id", QStringLiteral("off"));
    EXPECT_TRUE(info().getAdvertisingIdentifier().isNull());
    qApp->setProperty("brelvo_ad_id", QVariant());
    EXPECT_EQ(info().getAdvertisingIdentifier(), id);
    file.close();

    // A damaged file is replaced by a new identifier, kept from then on.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x01garbage");
    file.close();
    const QString replaced = info().getAdvertisingIdentifier();
    EXPECT_EQ(replaced.size(), 36);
    EXPECT_NE(replaced, id);
    EXPECT_EQ(info().getAdvertisingIdentifier(), replaced);
}

TEST(AppId, IsTheCleanBase64OfBundleAndVersion) {
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.host"));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.5"));
    const QString appId = info().getAppId();
    EXPECT_FALSE(appId.contains(QLatin1Char('=')));
    QByteArray padded = appId.toLatin1();
    while (padded.size() % 4) padded += '=';
    EXPECT_EQ(QByteArray::fromBase64(padded), QByteArray("1_org.example.host__2.5__"));
}

TEST(Facts, ThisMachinesFactsHaveTheirShapes) {
    EXPECT_FALSE(info().getLocale().isEmpty());
    // A language tag even under the C locale, where the desktop lists "C".
    EXPECT_TRUE(matches(QStringLiteral("[a-z]{2,3}(-[A-Za-z0-9]+)*"), info().getlocaleOfDevice()))
        << info().getlocaleOfDevice().toStdString();
    const QString country = info().getCountryCode();
    EXPECT_TRUE(country.isNull() || matches(QStringLiteral("[A-Z]{2}|\\d{3}"), country)) << country.toStdString();
    EXPECT_TRUE(matches(QStringLiteral(R"(\d{4}_\d\d_\d\d_\d\d-\d\d-\d\d-\d{3}_)"), info().getCurrentTime()));
    EXPECT_TRUE(matches(QStringLiteral(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d)"), info().getCurrentTime2()));
    EXPECT_TRUE(info().getMCC().isNull());
    EXPECT_TRUE(info().getMNC().isNull());
    EXPECT_FALSE(info().checkLocationEnabled());
    // Every Linux machine has a shell; that is no sign of a modified device.
    ASSERT_TRUE(QFileInfo::exists(QStringLiteral("/bin/bash")));
    EXPECT_FALSE(info().isJailbroken());
    const QString type = info().getTypeOfUsingInternet();
    EXPECT_TRUE(type.isEmpty() || type == QLatin1String("WiFi") || type == QLatin1String("WWAN"));
    EXPECT_FALSE(type.isNull());
}

// ---- orientation ---------------------------------------------------------------------

TEST(Orientation, DeviceOrientationNames) {
    const std::pair<int, const char*> devices[] = {{1, "Portrait"},      {2, "PortraitUpsideDown"}, {3, "LandscapeLeft"},
                                                   {4, "LandscapeRight"}, {0, "Portrait"},           {5, "Portrait"},
                                                   {6, "Portrait"},      {42, "Portrait"}};  // flat or unknown
    for (const auto& [device, name] : devices)
        EXPECT_EQ(GetSystemInfoBrelvo::orientationText(device), QLatin1String(name)) << device;
    const std::pair<Qt::ScreenOrientation, const char*> screens[] = {
        {Qt::PortraitOrientation, "Portrait"},          {Qt::InvertedPortraitOrientation, "PortraitUpsideDown"},
        {Qt::LandscapeOrientation, "LandscapeLeft"},    {Qt::InvertedLandscapeOrientation, "LandscapeRight"},
        {Qt::PrimaryOrientation, "Portrait"}};
    for (const auto& [screen, name] : screens)
        EXPECT_EQ(GetSystemInfoBrelvo::orientationText(GetSystemInfoBrelvo::deviceOrientationFor(screen)),
                  QLatin1String(name)) << name;
}

TEST(PhoneState, FieldsFollowTheScreenAndTheMachine) {
    const QJsonObject state = jsonObject(info().getPhoneState());
    EXPECT_EQ(state.keys().size(), 7);
    const QString network = state.value("network").toString();
    EXPECT_TRUE(network == "WiFi" || network == "WWAN" || network == "no network") << network.toStdString();
    EXPECT_EQ(state.value("location").toString(), QStringLiteral("OFF"));
    EXPECT_TRUE(matches(QStringLiteral(R"(\d+ Mb)"), state.value("free_ram").toString()));
    EXPECT_TRUE(matches(QStringLiteral(R"(\d+\.\d\d ( KB| MB| GB)?)"), state.value("free_space").toString()));
    EXPECT_TRUE(matches(QStringLiteral(R"(\d{1,3}%)"), state.value("battery_level").toString()));
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(state.value("orientation").toString(),
              GetSystemInfoBrelvo::orientationText(GetSystemInfoBrelvo::deviceOrientationFor(screen->orientation())));
}

TEST(PhoneState, AnotherThreadNeverWaitsForTheGuiThread) {
    const QString onGui = jsonObject(info().getPhoneState()).value("orientation").toString();
    // The GUI thread is blocked here, as on the crash path: the document must come anyway.
    auto result = std::async(std::launch::async, [] { return info().getPhoneState(); });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(jsonObject(result.get()).value("orientation").toString(), onGui);
}

// ---- documents from live values ----------------------------------------------------------

TEST_F(DeviceInfoTest, DeviceParamsCarryTheLiveValuesAndTheirCheckSumHasNoBareQuote) {
    GetSystemInfoBrelvo::setPlatformOverride(QStringLiteral("iPhone5,2"));
    const QJsonObject params = jsonObject(info().getDeviceParams());
    EXPECT_EQ(params.value("udid").toString(), info().getAdvertisingIdentifier());
    EXPECT_EQ(params.value("system_name").toString(), QStringLiteral("iPhone5,2"));
    EXPECT_EQ(params.value("system_fingerprint").toString(), info().getSystemFingerPrint());
    const QJsonObject general = params.value("properties").toObject().value("general").toObject();
    const QJsonObject hardware = params.value("properties").toObject().value("hardware").toObject();
    EXPECT_EQ(general.value("mcc").toString(), QStringLiteral("(null)"));
    EXPECT_EQ(general.value("locale").toString(), info().getLocale());
    EXPECT_EQ(hardware.value("jailbreak").toString(), QStringLiteral("0"));
    EXPECT_EQ(hardware.value("type_wwan").toString(), QStringLiteral("2G, 3G, 4G"));
    EXPECT_EQ(hardware.value("rom").toString(), info().getRom());

    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const qreal scale = screen->devicePixelRatio();
    EXPECT_EQ(hardware.value("display_size").toString(),
              QStringLiteral("%1x%2").arg(qRound(scale * screen->geometry().height()))
                  .arg(qRound(scale * screen->geometry().width())));

    // The check sum document: no bare quote in it, and it matches the params.
    GetSystemInfoBrelvo::setPlatformOverride(QStringLiteral("Board \"7\" rev\\b"));
    // "ram" follows the live memory counters; hold them still between the calls.
    GetSystemInfoBrelvo::setProcRootForTesting(proc.root());
    proc.write("meminfo", "MemFree: 400 kB\nActive: 800 kB\nInactive: 1200 kB\n");
    const QString checksum = info().getCheckSum();
    EXPECT_TRUE(matches(QStringLiteral("[0-9A-F]{32}"), checksum));
    EXPECT_EQ(checksum, CategoryHelper::shared().getMD5HashFromString(info().getDeviceParams()));

    // As the value of a JSON string it decodes whole: no quote in it is bare.
    const QString text = info().getDeviceParamsWithCheckSum();
    const QJsonDocument wrapper = QJsonDocument::fromJson("[\"" + text.toUtf8() + "\"]");
    ASSERT_TRUE(wrapper.isArray()) << text.toStdString();
    const QJsonObject inner = jsonObject(wrapper.array().at(0).toString());
    EXPECT_EQ(inner.value("properties_checksum").toString(), checksum);
    EXPECT_EQ(inner.value("system_name").toString(), QStringLiteral("Board \"7\" rev\\b"));
}

TEST_F(DeviceInfoTest, OlderDocumentsAndSignIn) {
    GetSystemInfoBrelvo::setPlatformOverride(QStringLiteral("iPad3,1"));
    const QString udid = info().getDeviceUDID();

    const QJsonObject deviceInfo = jsonObject(info().getDeviceInfo());
    EXPECT_EQ(deviceInfo.value("udid").toString(), udid);
    EXPECT_EQ(deviceInfo.value("system_name").toString(), QStringLiteral("iPad3,1"));
    const QJsonObject p = deviceInfo.value("properties").toObject();
    EXPECT_EQ(p.value("type_wwan").toString(), QStringLiteral("NO"));
    EXPECT_EQ(p.value("mnc").toString(), QStringLiteral("(null)"));
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(p.value("screen_resolution").toString(),
              QStringLiteral("%1x%2").arg(screen->geometry().height()).arg(screen->geometry().width()));

    // The templates' shapes are checked with DeviceDocuments; here, the live values in them.
    const QString member = info().getInfoFromDeviceToJSONString();
    EXPECT_EQ(jsonObject("{" + member + "}").value("auth_data").toObject().value("udid").toString(), udid);
    const QJsonObject closed =
        jsonObject(info().getSignInInfoForOID(QStringLiteral("org\"1"), QStringLiteral("user-7")) + "}");
    EXPECT_EQ(closed.value("uid").toString(), QStringLiteral("user-7"));
    EXPECT_EQ(closed.value("oid").toString(), QStringLiteral("org\"1"));
    EXPECT_EQ(closed.value("udid").toString(), udid);
}
