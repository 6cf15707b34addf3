#include "diagnostics/DeviceDocuments.h"

#include "protocol/JsonText.h"

#include <cmath>

namespace brelvo::devicedocs {
namespace {

QString e(const QString& value) {
    return jsonEscapedText(value);
}

}  // namespace

QString phoneState(const PhoneState& v) {
    return QStringLiteral(
               "{\"network\":\"%1\",\"location\":\"%2\",\"free_ram\":\"%3 Mb\",\"free_space\":\"%4\","
               "\"battery_level\":\"%5%\",\"external_power\":\"%6\",\"orientation\":\"%7\"}")
        .arg(e(v.network), e(v.location), QString::number(v.freeRamMb), e(v.freeSpace),
             QString::number(v.batteryLevel), e(v.externalPower), e(v.orientation));
}

QString deviceProperties(const General& g, const Hardware& h) {
    const QString general =
        QStringLiteral(
            "{\"manufacturer\":\"Apple\", \"device_model\":\"-\", \"device_name\":\"%1\", \"mcc\":\"%2\","
            "\"mnc\":\"%3\", \"time_zone\":\"%4\", \"country_code\":\"%5\", \"locale\":\"%6\"}")
            .arg(e(g.deviceName), e(g.mcc), e(g.mnc), e(g.timeZone), e(g.countryCode), e(g.locale));
    const QString hardware =
        QStringLiteral(
            "{\"camera\":\"1\", \"microphone\":\"1\", \"wifi\":\"1\", \"gps\":\"1\", \"jailbreak\":\"%1\", "
            "\"display_size\":\"%2\", \"rom\":\"%3\", \"ram\":\"%4\", \"type_wwan\":\"%5\"}")
            .arg(h.jailbroken ? QStringLiteral("1") : QStringLiteral("0"), e(h.displaySize), e(h.rom), e(h.ram),
                 e(h.typeOfWwan));
    return QStringLiteral("{\"general\":%1, \"hardware\":%2, \"sensors\":%3}")
        .arg(general, hardware, QStringLiteral("{}"));
}

QString deviceParams(const Identity& id, const QString& properties) {
    return QStringLiteral(
               "{\"udid\":\"%1\",\"system_version\":\"%2\",\"system_name\":\"%3\", "
               "\"system_fingerprint\":\"%4\",\"properties\":%5}")
        .arg(e(id.udid), e(id.systemVersion), e(id.systemName), e(id.fingerprint), properties);
}

QString deviceParamsWithCheckSum(const QString& checksum, const Identity& id, const QString& properties) {
    const QString document =
        QStringLiteral(
            "{\"properties_checksum\":\"%1\", \"udid\":\"%2\",\"system_version\":\"%3\", "
            "\"system_fingerprint\":\"%4\", \"system_name\":\"%5\",\"properties\":%6}")
            .arg(e(checksum), e(id.udid), e(id.systemVersion), e(id.fingerprint), e(id.systemName), properties);
    // Turning the document into a string value takes more than putting a
    // backslash before each quote: a value that already held an escaped quote
    // (\") would come out as \\" and end the string early. Escaping the
    // backslashes too gives exactly the quote-for-quote result whenever no
    // value needed escaping, and a document that decodes back intact otherwise.
    return jsonEscapedText(document);
}

QString legacyProperties(const LegacyProperties& v) {
    return QStringLiteral(
               "{\"device_name\":\"%1\",\"manufacturer\":\"Apple\",\"device_model\":\"-\",\"mcc\":\"%2\","
               "\"mnc\":\"%3\",\"wifi\":\"1\",\"type_wwan\":\"%4\",\"total_disk_space\":\"%5\","
               "\"current_time\":\"%6\",\"system_time_zone\":\"%7\",\"local_time_zone\":\"%8\","
               "\"country_code\":\"%9\",\"screen_resolution\":\"%10\"}")
        .arg(e(v.deviceName), e(v.mcc), e(v.mnc), e(v.typeOfWwan), e(v.totalDiskSpace), e(v.currentTime),
             e(v.systemTimeZone), e(v.localTimeZone), e(v.countryCode), e(v.screenResolution));
}

QString deviceInfo(const QString& udid, const QString& systemVersion, const QString& systemName,
                   const QString& properties) {
    return QStringLiteral("{\"udid\":\"%1\",\"system_version\":\"%2\",\"system_name\":\"%3\",\"properties\":%4}")
        .arg(e(udid), e(systemVersion), e(systemName), properties);
}

QString infoFromDevice(const QString& udid, const QString& systemName, const QString& systemVersion,
                       const QString& properties) {
    const QString inner =
        QStringLiteral("{\"udid\":\"%1\",\"system_name\":\"%2\",\"system_version\":\"%3\",\"properties\":%4}")
            .arg(e(udid), e(systemName), e(systemVersion), properties);
    return QStringLiteral("\"auth_data\":") + inner;
}

QString signInInfo(const QString& uid, const QString& oid, const QString& udid) {
    return QStringLiteral("{\"uid\":\"%1\",\"oid\":\"%2\",\"udid\":\"%3\",\"token\":\"%4\"")
        .arg(e(uid), e(oid), e(udid), QString());
}

QString displaySize(double scale, double widthPoints, double heightPoints) {
    // Whole points first, then the scale. Rounding rather than truncating the
    // product keeps fractional scales (1.25, 1.5) at the screen's real pixel count.
    const auto pixels = [scale](double points) {
        return static_cast<int>(std::lround(scale * std::trunc(points)));
    };
    return QStringLiteral("%1x%2").arg(pixels(heightPoints)).arg(pixels(widthPoints));
}

QString screenResolution(double widthPoints, double heightPoints) {
    return QStringLiteral("%1x%2").arg(static_cast<int>(heightPoints)).arg(static_cast<int>(widthPoints));
}

}  // namespace brelvo::devicedocs
