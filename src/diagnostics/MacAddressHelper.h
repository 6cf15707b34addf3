#pragma once

#include <QString>

namespace brelvo {

// The hardware address that identifies this device to the service.
//
// A Linux machine has no fixed "primary Wi-Fi" interface name, so the address
// is that of the interface carrying the default IPv4 route, else the first
// wireless interface, else the first non-loopback Ethernet one.
class MacAddressHelper {
public:
    // Failure texts, given instead of an address.
    static const QString kNoInterface;         // "if_nametoindex failure": no interface qualifies, or it vanished
    static const QString kListFailure;         // "sysctl mgmtInfoBase failure": the interface list cannot be read
    static const QString kAllocationFailure;   // "buffer allocation failure": out of memory reading the list
    static const QString kNoLinkAddress;       // "sysctl msgBuffer failure": the interface has no 6-byte address

    // "XX:XX:XX:XX:XX:XX" in upper-case hexadecimal, or one of the failure
    // texts, which it also logs as "Error: <text>".
    static QString getMacAddress();

    // The same without the log line; *failed tells which of the two it is.
    static QString readMacAddress(bool* failed = nullptr);

    // The interface chosen as above; empty when none qualifies.
    static QString preferredInterface();
};

}  // namespace brelvo
