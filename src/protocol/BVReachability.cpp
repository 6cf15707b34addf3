#include "protocol/BVReachability.h"

#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <QFile>
#include <QSocketNotifier>

#include <net/if.h>  // before the kernel headers, which defer to it

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/wireless.h>
#include <linux/rtnetlink.h>
#include <netdb.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace brelvo {

const QString kReachabilityChangedNotificationBrelvo = QStringLiteral("NetworkReachabilityChangedNotification");
const QString kInternetConnectionBrelvo = QStringLiteral("InternetConnection");
const QString kLocalWiFiConnectionBrelvo = QStringLiteral("LocalWiFiConnection");

namespace {

std::atomic<int> resolveTimeoutMs{5000};

using Address = sockaddr_storage;

// getaddrinfo cannot be given a deadline, and a resolver that gets no answer
// may take much longer than a caller should wait: resolve on a thread of its
// own and give up after the time-out (the thread ends on its own later).
std::vector<Address> resolve(const QByteArray& host) {
    struct State {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::vector<Address> addresses;
    };
    auto state = std::make_shared<State>();
    std::thread([state, host] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* result = nullptr;
        std::vector<Address> found;
        if (getaddrinfo(host.constData(), nullptr, &hints, &result) == 0) {
            for (addrinfo* ai = result; ai; ai = ai->ai_next) {
                if (ai->ai_family != AF_INET && ai->ai_family != AF_INET6) continue;
                Address a{};
                std::memcpy(&a, ai->ai_addr, ai->ai_addrlen);
                found.push_back(a);
            }
            freeaddrinfo(result);
        }
        std::lock_guard lock(state->mutex);
        state->addresses = std::move(found);
        state->finished = true;
        state->done.notify_all();
    }).detach();
    std::unique_lock lock(state->mutex);
    if (!state->done.wait_for(lock, std::chrono::milliseconds(resolveTimeoutMs.load()), [&] { return state->finished; })) {
        qCWarning(lcBrelvo) << "name resolution of" << host << "timed out";
        return {};
    }
    return state->addresses;
}

bool isLoopback(const Address& a) {
    if (a.ss_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr) >> 24) == 127;
    if (a.ss_family == AF_INET6) return IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr);
    return false;
}

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).trimmed() : QString();
}

// Interface facts come from the kernel through a socket rather than from
// /sys/class/net, which shows the network namespace sysfs was mounted in, not
// necessarily ours.
bool isUp(const QString& interface) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ifreq request{};
    std::strncpy(request.ifr_name, interface.toLatin1().constData(), IFNAMSIZ - 1);
    const bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    ::close(fd);
    return ok && (request.ifr_flags & IFF_UP) && (request.ifr_flags & IFF_RUNNING);
}

bool isWireless(const QString& interface) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    iwreq request{};
    std::strncpy(request.ifr_name, interface.toLatin1().constData(), IFNAMSIZ - 1);
    const bool wireless = ::ioctl(fd, SIOCGIWNAME, &request) == 0;
    ::close(fd);
    return wireless;
}

// A cellular modem: the kernel's WWAN class, or the usual names of modem links.
bool isModem(const QString& interface) {
    if (QFile::exists(QStringLiteral("/sys/class/net/%1/wwan").arg(interface))) return true;
    const QString devtype = readText(QStringLiteral("/sys/class/net/%1/uevent").arg(interface));
    if (devtype.contains(QLatin1String("DEVTYPE=wwan"))) return true;
    return interface.startsWith(QLatin1String("wwan")) || interface.startsWith(QLatin1String("ppp")) ||
           interface.startsWith(QLatin1String("rmnet"));
}

// The interface of the IPv4 or IPv6 default route, or "" when there is none.
QString defaultRouteInterface() {
    QFile v4(QStringLiteral("/proc/net/route"));
    if (v4.open(QIODevice::ReadOnly)) {
        v4.readLine();  // header
        while (!v4.atEnd()) {
            const QList<QByteArray> f = v4.readLine().simplified().split(' ');
            if (f.size() < 4) continue;
            const unsigned flags = f[3].toUInt(nullptr, 16);
            if (f[1] == "00000000" && (flags & 0x1) && isUp(QString::fromLatin1(f[0]))) return QString::fromLatin1(f[0]);
        }
    }
    QFile v6(QStringLiteral("/proc/net/ipv6_route"));
    if (v6.open(QIODevice::ReadOnly)) {
        while (!v6.atEnd()) {
            const QList<QByteArray> f = v6.readLine().simplified().split(' ');
            if (f.size() < 10) continue;
            const QString name = QString::fromLatin1(f[9]);
            if (f[0] == QByteArray(32, '0') && f[1] == "00" && name != QLatin1String("lo") && isUp(name)) return name;
        }
    }
    return {};
}

QStringList upInterfaces() {
    QStringList names;
    if (struct if_nameindex* list = ::if_nameindex()) {
        for (struct if_nameindex* i = list; i->if_index != 0; ++i) {
            const QString name = QString::fromLatin1(i->if_name);
            if (name != QLatin1String("lo") && isUp(name)) names.append(name);
        }
        if_freenameindex(list);
    }
    return names;
}

// Flags of a route to one address: which interface the kernel would use, and
// whether the address lies on that interface's own network.
quint32 flagsForAddress(const Address& target) {
    if (isLoopback(target)) return BVReachability::Reachable | BVReachability::IsLocalAddress | BVReachability::IsDirect;
    const int fd = ::socket(target.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    Address probe = target;
    socklen_t length = target.ss_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    if (target.ss_family == AF_INET)
        reinterpret_cast<sockaddr_in&>(probe).sin_port = htons(9);
    else
        reinterpret_cast<sockaddr_in6&>(probe).sin6_port = htons(9);
    // Connecting a datagram socket only asks the routing table; nothing is sent.
    if (::connect(fd, reinterpret_cast<sockaddr*>(&probe), length) != 0) {
        ::close(fd);
        return 0;
    }
    Address local{};
    socklen_t localLength = sizeof(local);
    const bool named = ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) == 0;
    ::close(fd);
    quint32 flags = BVReachability::Reachable;
    if (!named) return flags;

    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return flags;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != local.ss_family) continue;
        if (local.ss_family == AF_INET) {
            const auto* mine = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
            const auto* mask = reinterpret_cast<const sockaddr_in*>(i->ifa_netmask);
            if (mine->sin_addr.s_addr != reinterpret_cast<const sockaddr_in&>(local).sin_addr.s_addr) continue;
            const in_addr_t dest = reinterpret_cast<const sockaddr_in&>(target).sin_addr.s_addr;
            if (dest == mine->sin_addr.s_addr) flags |= BVReachability::IsLocalAddress;
            if (mask && (dest & mask->sin_addr.s_addr) == (mine->sin_addr.s_addr & mask->sin_addr.s_addr))
                flags |= BVReachability::IsDirect;
        } else {
            const auto* mine = reinterpret_cast<const sockaddr_in6*>(i->ifa_addr);
            if (std::memcmp(&mine->sin6_addr, &reinterpret_cast<const sockaddr_in6&>(local).sin6_addr,
                            sizeof(in6_addr)) != 0)
                continue;
        }
        if (isModem(QString::fromLatin1(i->ifa_name))) flags |= BVReachability::IsWWAN;
        break;
    }
    freeifaddrs(list);
    return flags;
}

sockaddr_in ipv4(in_addr_t hostOrder) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(hostOrder);
    return a;
}

}  // namespace

void BVReachability::setResolveTimeout(int milliseconds) {
    resolveTimeoutMs = qMax(1, milliseconds);
}

BVReachability::BVReachability(Target target, QString key, QString host, sockaddr_in address)
    : target_(target), key_(std::move(key)), host_(std::move(host)), address_(address) {}

BVReachability::~BVReachability() {
    stopNotifier();
    key_.clear();
}

std::unique_ptr<BVReachability> BVReachability::reachabilityWithHostName(const QString& hostName) {
    if (hostName.trimmed().isEmpty()) return nullptr;
    return std::unique_ptr<BVReachability>(new BVReachability(Target::Host, hostName, hostName, sockaddr_in{}));
}

std::unique_ptr<BVReachability> BVReachability::reachabilityWithAddress(const sockaddr_in& address) {
    if (address.sin_family != AF_INET) return nullptr;
    return std::unique_ptr<BVReachability>(
        new BVReachability(Target::Address, makeAddressKey(address.sin_addr.s_addr), QString(), address));
}

std::unique_ptr<BVReachability> BVReachability::reachabilityForInternetConnection() {
    auto r = reachabilityWithAddress(ipv4(0));
    r->key_ = kInternetConnectionBrelvo;
    return r;
}

std::unique_ptr<BVReachability> BVReachability::reachabilityForLocalWiFi() {
    auto r = reachabilityWithAddress(ipv4(0xA9FE0000));  // 169.254.0.0
    r->key_ = kLocalWiFiConnectionBrelvo;
    return r;
}

QString BVReachability::makeAddressKey(in_addr_t address) {
    const auto* b = reinterpret_cast<const unsigned char*>(&address);  // network order: most significant first
    return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
}

bool BVReachability::readFlags(quint32* flags) const {
    *flags = 0;
    if (target_ == Target::Host) {
        for (const Address& a : resolve(host_.toUtf8())) {
            *flags = flagsForAddress(a);
            if (*flags & Reachable) break;
        }
        return true;
    }
    const in_addr_t address = ntohl(address_.sin_addr.s_addr);
    if (address == 0) {
        // Any address at all: a default route over a working link.
        const QString interface = defaultRouteInterface();
        if (!interface.isEmpty()) *flags = Reachable | (isModem(interface) ? quint32(IsWWAN) : 0u);
        return true;
    }
    if ((address >> 16) == 0xA9FE) {
        // The link-local network: direct when a wireless link is up.
        const QStringList up = upInterfaces();
        for (const QString& name : up)
            if (isWireless(name)) *flags = Reachable | IsDirect;
        if (*flags == 0 && !up.isEmpty()) *flags = Reachable;
        return true;
    }
    Address target{};
    std::memcpy(&target, &address_, sizeof(address_));
    *flags = flagsForAddress(target);
    return true;
}

quint32 BVReachability::reachabilityFlags() const {
    quint32 flags = 0;
    return readFlags(&flags) ? flags : 0;
}

BVReachability::NetworkStatus BVReachability::networkStatusForFlags(quint32 flags) const {
    if (!(flags & Reachable)) return NotReachable;
    if (key_ == kLocalWiFiConnectionBrelvo) return (flags & IsDirect) ? ReachableViaWiFi : NotReachable;
    if (flags & IsWWAN) return ReachableViaWWAN;
    const quint32 rest = flags & ~quint32(Reachable | IsLocalAddress | IsDirect);
    if (rest == (TransientConnection | ConnectionRequired)) return NotReachable;  // the connection is down
    if ((rest & TransientConnection) || rest == 0) return ReachableViaWiFi;
    if (rest & ConnectionRequired) return ReachableViaWiFi;
    return NotReachable;
}

BVReachability::NetworkStatus BVReachability::currentReachabilityStatus() const {
    quint32 flags = 0;
    return readFlags(&flags) ? networkStatusForFlags(flags) : NotReachable;
}

bool BVReachability::isReachable() const {
    return currentReachabilityStatus() != NotReachable;
}

bool BVReachability::isReachableViaWWAN() const {
    return currentReachabilityStatus() == ReachableViaWWAN;
}

bool BVReachability::isReachableViaWiFi() const {
    return currentReachabilityStatus() == ReachableViaWiFi;
}

bool BVReachability::isConnectionRequired() const {
    return reachabilityFlags() & ConnectionRequired;
}

bool BVReachability::isConnectionOnDemand() const {
    const quint32 f = reachabilityFlags();
    return (f & ConnectionRequired) && (f & (ConnectionOnTraffic | ConnectionOnDemand));
}

bool BVReachability::isInterventionRequired() const {
    const quint32 f = reachabilityFlags();
    return (f & ConnectionRequired) && (f & InterventionRequired);
}

bool BVReachability::startNotifier() {
    if (notifier_) return true;
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0) {
        qCWarning(lcBrelvo) << "reachability: no netlink socket:" << strerror(errno);
        return false;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_IFADDR | RTMGRP_IPV6_ROUTE;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
        qCWarning(lcBrelvo) << "reachability: cannot watch route changes:" << strerror(errno);
        ::close(fd);
        return false;
    }
    netlink_ = fd;
    lastFlags_ = reachabilityFlags();
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &BVReachability::onNetlinkReadable);
    return true;
}

void BVReachability::stopNotifier() {
    delete notifier_;
    notifier_ = nullptr;
    if (netlink_ >= 0) ::close(netlink_);
    netlink_ = -1;
}

void BVReachability::onNetlinkReadable() {
    // One change usually arrives as a burst of messages: read them all, then
    // look at the flags once.
    char buffer[8192];
    while (::recv(netlink_, buffer, sizeof(buffer), MSG_DONTWAIT) > 0) {
    }
    const quint32 flags = reachabilityFlags();
    if (flags == lastFlags_) return;
    lastFlags_ = flags;
    NotificationCenter::defaultCenter().post(kReachabilityChangedNotificationBrelvo,
                                             QVariant::fromValue<QObject*>(this));
}

}  // namespace brelvo
