#pragma once

#include <QString>
#include <QtGlobal>

namespace brelvo {

// Facts about the device, the system and the host application, as short texts
// and as the JSON documents that request bodies and crash reports carry.
//
// Everything is read when asked for. Every operation may run on any thread;
// screen facts are read on the GUI thread (the caller waits), except the
// orientation of the phone state, which comes from a value the GUI thread
// keeps up to date so that the crash path never waits on the GUI thread.
//
// A "none" value is a null QString; documents print it as "(null)".
class GetSystemInfoBrelvo {
public:
    static GetSystemInfoBrelvo& shared();

    QString getLocale() const;          // QLocale name, e.g. "en_US"
    QString getlocaleOfDevice() const;  // the user's first UI language, e.g. "en-US" or "de"
    QString getCountryCode() const;     // e.g. "US"; none without a territory
    QString getCurrentTime() const;     // "yyyy_MM_dd_HH-mm-ss-SSS_", local time
    QString getCurrentTime2() const;    // "dd.MM.yyyy HH:mm"
    QString getBundleId() const;
    QString getBundleVersion() const;
    QString getAppId() const;

    // The hardware model identifier: the device tree's model, else the DMI
    // product name, else "Linux". An override (or BRELVO_MODEL_IDENTIFIER)
    // replaces it.
    QString platform() const;
    QString getDevicePlatform() const;  // "Hardware platform: " + platform()
    QString platformString() const;     // a readable model name
    QString getTypeOfWWAN() const;      // cellular generations of the model

    // Made once per installation; none when the host or user opted out
    // (brelvo_ad_id = "off").
    QString getAdvertisingIdentifier() const;
    QString getSystemFingerPrint() const;
    QString getWifiMacAddress() const;
    QString getDeviceUDID() const;
    QString getMCC() const;  // none: no modem
    QString getMNC() const;  // none: no modem
    QString getTypeOfUsingInternet() const;  // "WWAN", "WiFi" or ""

    int getBatteryLevel() const;                // percent; 100 when unknown
    QString getBatteryHasExternalPower() const; // "YES" / "NO"
    bool checkLocationEnabled() const;          // no location service: false

    QString getTotalDiskSpace() const;      // scaled text; "" when unreadable
    QString getAvailableDiskSpace() const;  // scaled text
    QString getRom() const;                 // bytes; "" when unreadable
    QString getRam() const;                 // bytes
    qint64 getFreeMemory() const;           // MiB; 0 when unreadable
    qint64 getUsedMemory() const;           // MiB; 0 when unreadable
    bool isJailbroken() const;

    QString getDevicePropertiesString() const;
    QString getDeviceParams() const;
    QString getCheckSum() const;
    QString getDeviceParamsWithCheckSum() const;
    QString getDeviceInfo() const;
    QString getInfoFromDeviceToJSONString() const;
    QString getSignInInfoForOID(const QString& oid, const QString& uid) const;
    QString getPhoneState() const;

    // "%.2f %s" of the byte count scaled by 1024 up to three times, with the
    // unit " KB", " MB" or " GB"; no unit at 1024 bytes or less ("512.00 ").
    static QString scaledSizeText(quint64 bytes);
    // Readable name and cellular generations of a model identifier.
    static QString platformStringFor(const QString& identifier);
    static QString typeOfWWANFor(const QString& identifier);
    // Device orientation number (1 portrait, 2 upside down, 3 landscape left,
    // 4 landscape right, 5/6 face up/down, 0 unknown) as the phone state names it.
    static QString orientationText(int deviceOrientation);
    // The device orientation a Qt::ScreenOrientation stands for.
    static int deviceOrientationFor(int screenOrientation);

    // Empty removes the override.
    static void setPlatformOverride(const QString& identifier);
    static void setSysfsRootForTesting(const QString& root);  // default "/sys"
    static void setProcRootForTesting(const QString& root);   // default "/proc"

private:
    GetSystemInfoBrelvo() = default;
};

}  // namespace brelvo
