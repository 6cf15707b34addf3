#pragma once

#include <QString>

// The device documents as text, from values already gathered. Member order,
// spacing and quoting are part of the wire format, so each document is filled
// into its fixed template rather than produced by a JSON writer. Every value is
// inserted JSON-escaped (a null value prints "(null)"); nested documents are
// inserted as they are. Pure functions: usable from any thread.
namespace brelvo::devicedocs {

struct PhoneState {
    QString network;        // "WiFi", "WWAN" or "no network"
    QString location;       // "ON" / "OFF"
    qint64 freeRamMb = 0;
    QString freeSpace;      // scaled size text
    int batteryLevel = 0;   // percent
    QString externalPower;  // "YES" / "NO"
    QString orientation;
};
QString phoneState(const PhoneState& values);

struct General {
    QString deviceName;
    QString mcc;
    QString mnc;
    QString timeZone;
    QString countryCode;
    QString locale;
};
struct Hardware {
    bool jailbroken = false;
    QString displaySize;
    QString rom;
    QString ram;
    QString typeOfWwan;
};
// {"general":…, "hardware":…, "sensors":{}}
QString deviceProperties(const General& general, const Hardware& hardware);

struct Identity {
    QString udid;
    QString systemVersion;
    QString systemName;
    QString fingerprint;
};
QString deviceParams(const Identity& identity, const QString& properties);
// The whole document is escaped once more at the end, so that it can travel as
// the value of a JSON string.
QString deviceParamsWithCheckSum(const QString& checksum, const Identity& identity, const QString& properties);

// The properties of the older device-information documents.
struct LegacyProperties {
    QString deviceName;
    QString mcc;
    QString mnc;
    QString typeOfWwan;
    QString totalDiskSpace;
    QString currentTime;
    QString systemTimeZone;
    QString localTimeZone;
    QString countryCode;
    QString screenResolution;
};
QString legacyProperties(const LegacyProperties& values);
QString deviceInfo(const QString& udid, const QString& systemVersion, const QString& systemName,
                   const QString& properties);
// A JSON member ("auth_data":{…}), not an object.
QString infoFromDevice(const QString& udid, const QString& systemName, const QString& systemVersion,
                       const QString& properties);
// Ends after the token's value: the caller closes the object.
QString signInInfo(const QString& uid, const QString& oid, const QString& udid);

// "<height>x<width>" in pixels: each dimension in whole points times the scale.
QString displaySize(double scale, double widthPoints, double heightPoints);
// "<height>x<width>" in whole points.
QString screenResolution(double widthPoints, double heightPoints);

}  // namespace brelvo::devicedocs
