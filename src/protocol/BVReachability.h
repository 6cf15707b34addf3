#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include <netinet/in.h>

class QSocketNotifier;

namespace brelvo {

// Notification name posted when the reachability of a watched target changes;
// the notification's object is the BVReachability (a QObject*).
extern const QString kReachabilityChangedNotificationBrelvo;  // "NetworkReachabilityChangedNotification"
extern const QString kInternetConnectionBrelvo;               // "InternetConnection"
extern const QString kLocalWiFiConnectionBrelvo;              // "LocalWiFiConnection"

// Whether a host or address can be reached, as a flag word, and the network
// status derived from it (0 not reachable, 1 via a cellular modem, 2 via
// Wi-Fi or any other link). On Linux the flags come from name resolution and
// the routing table; changes are watched on a netlink route socket.
class BVReachability : public QObject {
    Q_OBJECT
public:
    enum Flag : quint32 {
        TransientConnection = 0x1,
        Reachable = 0x2,
        ConnectionRequired = 0x4,
        ConnectionOnTraffic = 0x8,
        InterventionRequired = 0x10,
        ConnectionOnDemand = 0x20,
        IsLocalAddress = 0x10000,
        IsDirect = 0x20000,
        IsWWAN = 0x40000,
    };
    enum NetworkStatus { NotReachable = 0, ReachableViaWWAN = 1, ReachableViaWiFi = 2 };

    // Each returns nullptr when no target can be made (an empty host name).
    static std::unique_ptr<BVReachability> reachabilityWithHostName(const QString& hostName);
    static std::unique_ptr<BVReachability> reachabilityWithAddress(const sockaddr_in& address);
    static std::unique_ptr<BVReachability> reachabilityForInternetConnection();  // 0.0.0.0
    static std::unique_ptr<BVReachability> reachabilityForLocalWiFi();          // 169.254.0.0

    // Dotted form of an IPv4 address given in network byte order.
    static QString makeAddressKey(in_addr_t address);

    ~BVReachability() override;

    // Watches the kernel's route and address changes on the calling thread's
    // event loop; on each change of the flags posts the changed notification.
    bool startNotifier();
    void stopNotifier();

    NetworkStatus currentReachabilityStatus() const;
    NetworkStatus networkStatusForFlags(quint32 flags) const;
    bool isReachable() const;
    bool isReachableViaWWAN() const;
    bool isReachableViaWiFi() const;
    bool isConnectionRequired() const;
    bool connectionRequired() const { return isConnectionRequired(); }
    bool isConnectionOnDemand() const;
    bool isInterventionRequired() const;
    quint32 reachabilityFlags() const;  // 0 when they cannot be read

    QString key() const { return key_; }
    bool isEqual(const BVReachability& other) const { return key_ == other.key_; }

    // How long name resolution may take before the host counts as unreachable.
    static void setResolveTimeout(int milliseconds);

private:
    enum class Target { Host, Address };
    BVReachability(Target target, QString key, QString host, sockaddr_in address);
    // Reads the flags; false when they cannot be read.
    bool readFlags(quint32* flags) const;
    void onNetlinkReadable();

    Target target_;
    QString key_;
    QString host_;
    sockaddr_in address_{};
    int netlink_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    quint32 lastFlags_ = 0;
};

}  // namespace brelvo
