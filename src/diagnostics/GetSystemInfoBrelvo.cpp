#include "diagnostics/GetSystemInfoBrelvo.h"

#include "diagnostics/DeviceDocuments.h"
#include "diagnostics/MacAddressHelper.h"
#include "platform/AppInfo.h"
#include "platform/AppPaths.h"
#include "platform/CategoryHelper.h"
#include "platform/DeviceFiles.h"
#include "platform/DeviceMemory.h"
#include "platform/DeviceModel.h"
#include "platform/DevicePower.h"
#include "platform/DeviceStorage.h"
#include "platform/FileReplace.h"
#include "platform/Log.h"
#include "platform/PrimaryScreen.h"
#include "protocol/BVReachability.h"
#include "protocol/Connectivity.h"
#include "protocol/JSONClientBrelvo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QSysInfo>
#include <QTimeZone>
#include <QUrl>
#include <QUuid>

#include <cmath>
#include <memory>
#include <optional>

namespace brelvo {
namespace {

std::optional<devicememory::Pages> memoryPagesOrLog() {
    std::optional<devicememory::Pages> s = devicememory::read();
    if (!s) qCWarning(lcBrelvo).noquote() << QStringLiteral("Failed to fetch vm statistics");
    return s;
}

// ---- advertising identifier ----------------------------------------------------

const QString kAdvertisingIdFile = QStringLiteral("brelvo-advertising-id");

bool advertisingIdDisabled() {
    return appinfo::value(QStringLiteral("brelvo_ad_id")).toString().trimmed().compare(
               QLatin1String("off"), Qt::CaseInsensitive) == 0;
}

}  // namespace

// ---- instance ------------------------------------------------------------------

GetSystemInfoBrelvo& GetSystemInfoBrelvo::shared() {
    static GetSystemInfoBrelvo* instance = [] {
        auto* created = new GetSystemInfoBrelvo;  // lives until the process ends
        primaryscreen::watchOrientation();
        return created;
    }();
    return *instance;
}

void GetSystemInfoBrelvo::setPlatformOverride(const QString& identifier) {
    devicemodel::setOverride(identifier);
}

void GetSystemInfoBrelvo::setSysfsRootForTesting(const QString& root) {
    devicefiles::setSysfsRoot(root);
}

void GetSystemInfoBrelvo::setProcRootForTesting(const QString& root) {
    devicefiles::setProcRoot(root);
}

// ---- locale, time, application -------------------------------------------------

QString GetSystemInfoBrelvo::getLocale() const {
    return QLocale::system().name();
}

QString GetSystemInfoBrelvo::getlocaleOfDevice() const {
    // The user's most preferred language as the desktop lists it, in BCP 47
    // form: a bare language ("de") or a regional one ("en-US"). Under the C
    // locale the list holds "C", which is no language; its messages are English.
    const QStringList languages = QLocale::system().uiLanguages();
    const QString first = languages.value(0);
    if (first.isEmpty() || first == QLatin1String("C") || first == QLatin1String("POSIX"))
        return QLocale::system().bcp47Name();
    return first;
}

QString GetSystemInfoBrelvo::getCountryCode() const {
    const QLocale::Territory territory = QLocale::system().territory();
    if (territory == QLocale::AnyTerritory) return {};
    const QString code = QLocale::territoryToCode(territory);
    return code.isEmpty() ? QString() : code;
}

QString GetSystemInfoBrelvo::getCurrentTime() const {
    return QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("yyyy_MM_dd_HH-mm-ss-zzz_"));
}

QString GetSystemInfoBrelvo::getCurrentTime2() const {
    return QLocale::c().toString(QDateTime::currentDateTime(), QStringLiteral("dd.MM.yyyy HH:mm"));
}

QString GetSystemInfoBrelvo::getBundleId() const {
    return appinfo::bundleIdentifier();
}

QString GetSystemInfoBrelvo::getBundleVersion() const {
    return appinfo::bundleVersion();
}

QString GetSystemInfoBrelvo::getAppId() const {
    const JSONClientBrelvo& client = JSONClientBrelvo::shared();
    const QString id = QStringLiteral("1_%1__%2__%3").arg(getBundleId(), getBundleVersion(), QString());
    return client.cleanBase64String(client.encodeToBase64String(id));
}

// ---- model ---------------------------------------------------------------------

QString GetSystemInfoBrelvo::platform() const {
    return devicemodel::identifier();
}

QString GetSystemInfoBrelvo::getDevicePlatform() const {
    return QStringLiteral("Hardware platform: ") + platform();
}

QString GetSystemInfoBrelvo::platformString() const {
    return platformStringFor(platform());
}

QString GetSystemInfoBrelvo::getTypeOfWWAN() const {
    return typeOfWWANFor(platform());
}

QString GetSystemInfoBrelvo::platformStringFor(const QString& id) {
    static const QHash<QString, QString> names = {
        {QStringLiteral("iPhone1,1"), QStringLiteral("iPhone 1G")},
        {QStringLiteral("iPhone1,2"), QStringLiteral("iPhone 3G")},
        {QStringLiteral("iPhone2,1"), QStringLiteral("iPhone 3GS")},
        {QStringLiteral("iPhone3,1"), QStringLiteral("iPhone 4 ATT")},
        {QStringLiteral("iPhone3,2"), QStringLiteral("iPhone 4 other carrier")},
        {QStringLiteral("iPhone3,3"), QStringLiteral("iPhone 4 Verizon")},
        {QStringLiteral("iPhone4,1"), QStringLiteral("iPhone 4S")},
        {QStringLiteral("iPhone4,2"), QStringLiteral("iPhone 4S")},
        {QStringLiteral("iPhone4,3"), QStringLiteral("iPhone 4S")},
        {QStringLiteral("iPhone5,1"), QStringLiteral("iPhone 5")},
        {QStringLiteral("iPhone5,2"), QStringLiteral("iPhone 5")},
        {QStringLiteral("iPhone5,3"), QStringLiteral("iPhone 5")},
        {QStringLiteral("iPod1,1"), QStringLiteral("iPod Touch 1G")},
        {QStringLiteral("iPod2,1"), QStringLiteral("iPod Touch 2G")},
        {QStringLiteral("iPod3,1"), QStringLiteral("iPod Touch 3G")},
        {QStringLiteral("iPod4,1"), QStringLiteral("iPod Touch 4G")},
        {QStringLiteral("iPod5,1"), QStringLiteral("iPod Touch 5G")},
        {QStringLiteral("iPad1,1"), QStringLiteral("iPad")},
        {QStringLiteral("iPad2,1"), QStringLiteral("iPad 2 (WiFi)")},
        {QStringLiteral("iPad2,2"), QStringLiteral("iPad 2 (GSM)")},
        {QStringLiteral("iPad2,3"), QStringLiteral("iPad 2 (CDMA)")},
        {QStringLiteral("iPad3,1"), QStringLiteral("iPad 3 (WiFi)")},
        {QStringLiteral("iPad3,2"), QStringLiteral("iPad 3 (GSM)")},
        {QStringLiteral("iPad3,3"), QStringLiteral("iPad 3 (CDMA)")},
        {QStringLiteral("i386"), QStringLiteral("Simulator")},
        {QStringLiteral("x86_64"), QStringLiteral("Simulator")},
    };
    const auto known = names.constFind(id);
    if (known != names.cend()) return *known;

    QString family = id.section(QLatin1Char(','), 0, 0);
    if (family.contains(QLatin1String("iPhone"))) {
        // Like a C-style integer read: leading digits only, 0 when there are none.
        const QString rest = family.remove(QLatin1String("iPhone")).trimmed();
        qsizetype digits = 0;
        while (digits < rest.size() && rest.at(digits).isDigit()) ++digits;
        switch (rest.left(digits).toInt()) {
        case 3: return QStringLiteral("iPhone4");
        case 4: return QStringLiteral("iPhone4s");
        case 5: return QStringLiteral("iPhone5");
        default: return QStringLiteral("Newer iPhone");
        }
    }
    if (family.contains(QLatin1String("iPod"))) return QStringLiteral("Newer iPod");
    if (family.contains(QLatin1String("iPad"))) return QStringLiteral("Newer iPad");
    return id;
}

QString GetSystemInfoBrelvo::typeOfWWANFor(const QString& id) {
    static const QHash<QString, QString> generations = [] {
        QHash<QString, QString> table;
        const auto add = [&table](std::initializer_list<const char*> ids, const QString& result) {
            for (const char* i : ids) table.insert(QLatin1String(i), result);
        };
        add({"iPhone1,1"}, QStringLiteral("2G"));
        add({"iPhone1,2", "iPhone2,1", "iPhone3,1", "iPhone3,2", "iPhone3,3", "iPhone4,1", "iPhone4,2",
             "iPhone4,3"},
            QStringLiteral("2G, 3G"));
        add({"iPhone5,1", "iPhone5,2", "iPhone5,3", "iPad3,2", "iPad3,3"}, QStringLiteral("2G, 3G, 4G"));
        add({"iPod1,1", "iPod2,1", "iPod3,1", "iPod4,1", "iPod5,1", "iPad1,1", "iPad2,1", "iPad3,1", "i386",
             "x86_64"},
            QStringLiteral("NO"));
        add({"iPad2,2", "iPad2,3"}, QStringLiteral("3G"));
        return table;
    }();
    return generations.value(id, QStringLiteral("2G,3G"));
}

// ---- identifiers -----------------------------------------------------------------

QString GetSystemInfoBrelvo::getAdvertisingIdentifier() const {
    if (advertisingIdDisabled()) return {};

    static QMutex mutex;
    // An identifier that could not be written stays the same for the rest of
    // the process at least.
    static QHash<QString, QString> unsaved;
    QMutexLocker lock(&mutex);
    const QString path = QDir(paths::documents()).filePath(kAdvertisingIdFile);

    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QUuid stored = QUuid::fromString(QString::fromLatin1(file.read(64)).trimmed());
        if (!stored.isNull()) return stored.toString(QUuid::WithoutBraces).toUpper();
        qCWarning(lcBrelvo) << "advertising identifier file is damaged; making a new identifier";
    }
    if (const auto kept = unsaved.constFind(path); kept != unsaved.cend()) return *kept;

    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    QString error;
    if (files::replaceContentsSynced(path, id.toLatin1() + '\n', &error)) return id;
    qCWarning(lcBrelvo) << "cannot keep the advertising identifier in" << path << error;
    unsaved.insert(path, id);
    return id;
}

QString GetSystemInfoBrelvo::getSystemFingerPrint() const {
    return CategoryHelper::shared().base64StringFromString(QSysInfo::productVersion());
}

QString GetSystemInfoBrelvo::getWifiMacAddress() const {
    return MacAddressHelper::readMacAddress();
}

QString GetSystemInfoBrelvo::getDeviceUDID() const {
    return getWifiMacAddress();
}

QString GetSystemInfoBrelvo::getMCC() const {
    return {};
}

QString GetSystemInfoBrelvo::getMNC() const {
    return {};
}

// ---- network -------------------------------------------------------------------

QString GetSystemInfoBrelvo::getTypeOfUsingInternet() const {
    const std::unique_ptr<BVReachability> reachability =
        BVReachability::reachabilityWithHostName(connectivity::serviceHost());
    if (!reachability) return QString(QLatin1String(""));
    switch (reachability->currentReachabilityStatus()) {
    case BVReachability::ReachableViaWWAN: return QStringLiteral("WWAN");
    case BVReachability::ReachableViaWiFi: return QStringLiteral("WiFi");
    default: return QString(QLatin1String(""));
    }
}

// ---- power, location ---------------------------------------------------------------

int GetSystemInfoBrelvo::getBatteryLevel() const {
    const devicepower::Supplies facts = devicepower::read();
    // Capacity is already a whole percentage: no round trip through a fraction
    // that could turn 57 into 56.
    if (facts.hasBattery && facts.percent >= 0) return qMin(facts.percent, 100);
    const float level = facts.hasBattery && facts.level >= 0 ? facts.level : -1.f;  // -1: unknown
    return std::abs(static_cast<int>(level * 100.f));
}

QString GetSystemInfoBrelvo::getBatteryHasExternalPower() const {
    const devicepower::Supplies facts = devicepower::read();
    bool external = facts.externalOnline;
    if (facts.hasBattery) {
        if (facts.status == QLatin1String("Charging") || facts.status == QLatin1String("Full"))
            external = true;
        else if (facts.status == QLatin1String("Discharging"))
            external = false;
        // "Not charging" and "Unknown" (held at a charge limit, for instance):
        // plugged in exactly when some supply is online.
    }
    return external ? QStringLiteral("YES") : QStringLiteral("NO");
}

bool GetSystemInfoBrelvo::checkLocationEnabled() const {
    return false;  // no location service on these machines
}

// ---- disk, memory --------------------------------------------------------------

QString GetSystemInfoBrelvo::scaledSizeText(quint64 bytes) {
    static const char* const units[] = {" KB", " MB", " GB"};
    float value = float(bytes);
    const char* unit = "";
    for (const char* next : units) {
        if (value > 1024.f) {
            value /= 1024.f;
            unit = next;
        }
    }
    return QString::asprintf("%.2f %s", double(value), unit);
}

QString GetSystemInfoBrelvo::getTotalDiskSpace() const {
    const auto volume = devicestorage::documentsVolume();
    return volume ? scaledSizeText(volume->totalBytes) : QString(QLatin1String(""));
}

QString GetSystemInfoBrelvo::getAvailableDiskSpace() const {
    // An unreadable file system reads as 0 bytes available.
    const auto volume = devicestorage::documentsVolume();
    return scaledSizeText(volume ? volume->availableBytes : 0);
}

QString GetSystemInfoBrelvo::getRom() const {
    const auto volume = devicestorage::documentsVolume();
    return volume ? QString::number(volume->totalBytes) : QString(QLatin1String(""));
}

QString GetSystemInfoBrelvo::getRam() const {
    // The full byte count: cut to 32 bits it would be meaningless on any
    // machine with 4 GiB or more.
    const auto s = memoryPagesOrLog();
    if (!s) return QStringLiteral("0");
    return QString::number((s->free + s->active + s->inactive + s->wired) * s->pageSize);
}

qint64 GetSystemInfoBrelvo::getFreeMemory() const {
    const auto s = memoryPagesOrLog();
    return s ? qint64((s->free * s->pageSize) >> 20) : 0;
}

qint64 GetSystemInfoBrelvo::getUsedMemory() const {
    const auto s = memoryPagesOrLog();
    return s ? qint64(((s->active + s->inactive + s->wired) * s->pageSize) >> 20) : 0;
}

bool GetSystemInfoBrelvo::isJailbroken() const {
    // Only paths that a modified handheld has and a normal system does not.
    // A shell at /bin/bash is on every Linux machine and proves nothing.
    for (const char* path : {"/private/var/lib/apt/", "/Applications/Cydia.app", "/var/stash"}) {
        if (QFileInfo::exists(QLatin1String(path))) return true;
    }
    return false;
}

// ---- orientation -----------------------------------------------------------------

int GetSystemInfoBrelvo::deviceOrientationFor(int screenOrientation) {
    return primaryscreen::deviceOrientationFor(screenOrientation);
}

QString GetSystemInfoBrelvo::orientationText(int deviceOrientation) {
    switch (deviceOrientation) {
    case 2: return QStringLiteral("PortraitUpsideDown");
    case 3: return QStringLiteral("LandscapeLeft");
    case 4: return QStringLiteral("LandscapeRight");
    default: return QStringLiteral("Portrait");
    }
}

// ---- documents -----------------------------------------------------------------

QString GetSystemInfoBrelvo::getDevicePropertiesString() const {
    devicedocs::General general;
    general.deviceName = QSysInfo::machineHostName();
    general.mcc = getMCC();
    general.mnc = getMNC();
    general.timeZone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    general.countryCode = getCountryCode();
    general.locale = getLocale();

    const primaryscreen::Facts screen = primaryscreen::facts();
    devicedocs::Hardware hardware;
    hardware.jailbroken = isJailbroken();
    hardware.displaySize = devicedocs::displaySize(screen.scale, screen.width, screen.height);
    hardware.rom = getRom();
    hardware.ram = getRam();
    hardware.typeOfWwan = getTypeOfWWAN();
    return devicedocs::deviceProperties(general, hardware);
}

namespace {

devicedocs::Identity identity(const GetSystemInfoBrelvo& info) {
    return {info.getAdvertisingIdentifier(), QSysInfo::productVersion(), info.platform(),
            info.getSystemFingerPrint()};
}

}  // namespace

QString GetSystemInfoBrelvo::getDeviceParams() const {
    return devicedocs::deviceParams(identity(*this), getDevicePropertiesString());
}

QString GetSystemInfoBrelvo::getCheckSum() const {
    return CategoryHelper::shared().getMD5HashFromString(getDeviceParams());
}

QString GetSystemInfoBrelvo::getDeviceParamsWithCheckSum() const {
    const devicedocs::Identity id = identity(*this);
    const QString properties = getDevicePropertiesString();
    // The checksum covers the very values the document carries.
    const QString checksum =
        CategoryHelper::shared().getMD5HashFromString(devicedocs::deviceParams(id, properties));
    return devicedocs::deviceParamsWithCheckSum(checksum, id, properties);
}

namespace {

QString legacyProperties(const GetSystemInfoBrelvo& info) {
    const primaryscreen::Facts screen = primaryscreen::facts();
    devicedocs::LegacyProperties p;
    p.deviceName = QSysInfo::machineHostName();
    p.mcc = info.getMCC();
    p.mnc = info.getMNC();
    p.typeOfWwan = info.getTypeOfWWAN();
    p.totalDiskSpace = info.getTotalDiskSpace();
    p.currentTime = info.getCurrentTime();
    // No application-wide time zone apart from the system's on this platform.
    p.systemTimeZone = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    p.localTimeZone = p.systemTimeZone;
    p.countryCode = info.getCountryCode();
    p.screenResolution = devicedocs::screenResolution(screen.width, screen.height);
    return devicedocs::legacyProperties(p);
}

}  // namespace

QString GetSystemInfoBrelvo::getDeviceInfo() const {
    return devicedocs::deviceInfo(getDeviceUDID(), QSysInfo::productVersion(), platform(), legacyProperties(*this));
}

QString GetSystemInfoBrelvo::getInfoFromDeviceToJSONString() const {
    return devicedocs::infoFromDevice(getDeviceUDID(), platform(), QSysInfo::productVersion(),
                                      legacyProperties(*this));
}

QString GetSystemInfoBrelvo::getSignInInfoForOID(const QString& oid, const QString& uid) const {
    return devicedocs::signInInfo(uid, oid, getDeviceUDID());
}

QString GetSystemInfoBrelvo::getPhoneState() const {
    devicedocs::PhoneState state;
    const std::unique_ptr<BVReachability> internet = BVReachability::reachabilityForInternetConnection();
    const BVReachability::NetworkStatus status =
        internet ? internet->currentReachabilityStatus() : BVReachability::NotReachable;
    state.network = status == BVReachability::ReachableViaWiFi   ? QStringLiteral("WiFi")
                    : status == BVReachability::ReachableViaWWAN ? QStringLiteral("WWAN")
                                                                 : QStringLiteral("no network");
    state.location = checkLocationEnabled() ? QStringLiteral("ON") : QStringLiteral("OFF");
    state.freeRamMb = getFreeMemory();
    state.freeSpace = getAvailableDiskSpace();
    state.batteryLevel = getBatteryLevel();
    state.externalPower = getBatteryHasExternalPower();
    state.orientation = orientationText(primaryscreen::orientation());
    return devicedocs::phoneState(state);
}

}  // namespace brelvo
