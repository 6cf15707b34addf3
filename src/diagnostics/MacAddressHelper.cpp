#include "diagnostics/MacAddressHelper.h"

#include "platform/DeviceFiles.h"
#include "platform/Log.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <ifaddrs.h>
#include <limits>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/socket.h>

namespace brelvo {

const QString MacAddressHelper::kNoInterface = QStringLiteral("if_nametoindex failure");
const QString MacAddressHelper::kListFailure = QStringLiteral("sysctl mgmtInfoBase failure");
const QString MacAddressHelper::kAllocationFailure = QStringLiteral("buffer allocation failure");
const QString MacAddressHelper::kNoLinkAddress = QStringLiteral("sysctl msgBuffer failure");

namespace {

constexpr unsigned kRouteUp = 0x0001;  // RTF_UP

QString netFolder() {
    return devicefiles::sysfsRoot() + QStringLiteral("/class/net/");
}

// The kernel's ARPHRD_* number of the interface; -1 when unknown.
int linkType(const QString& interface) {
    bool ok = false;
    const int type = devicefiles::readLine(netFolder() + interface + QStringLiteral("/type")).toInt(&ok);
    return ok ? type : -1;
}

bool isLoopback(const QString& interface) {
    return interface == QLatin1String("lo") || linkType(interface) == ARPHRD_LOOPBACK;
}

// A VPN or point-to-point link may carry the default route but has no
// hardware address; pass over it instead of failing when Wi-Fi is up too.
bool hasEthernetAddress(const QString& interface) {
    const int type = linkType(interface);
    return type == -1 || type == ARPHRD_ETHER;
}

// The interface of the default IPv4 route with the lowest metric.
QString defaultRouteInterface() {
    const QList<QByteArray> lines = devicefiles::read(devicefiles::procRoot() + QStringLiteral("/net/route")).split('\n');
    QString best;
    qint64 bestMetric = std::numeric_limits<qint64>::max();
    // Columns: Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT.
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].simplified().split(' ');
        if (fields.size() < 8) continue;
        bool flagsOk = false, metricOk = false;
        const unsigned flags = fields[3].toUInt(&flagsOk, 16);
        const qint64 metric = fields[6].toLongLong(&metricOk);
        if (!flagsOk || !metricOk || !(flags & kRouteUp)) continue;
        if (fields[1] != "00000000" || fields[7] != "00000000") continue;
        const QString name = QString::fromUtf8(fields[0]);
        if (isLoopback(name) || !hasEthernetAddress(name)) continue;
        if (metric < bestMetric) {
            best = name;
            bestMetric = metric;
        }
    }
    return best;
}

}  // namespace

QString MacAddressHelper::preferredInterface() {
    const QString routed = defaultRouteInterface();
    if (!routed.isEmpty()) return routed;

    const QStringList names = QDir(netFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System,
                                                          QDir::Name);
    for (const QString& name : names) {
        if (QFileInfo::exists(netFolder() + name + QStringLiteral("/wireless")) && !isLoopback(name)) return name;
    }
    // Wired: a physical device first, so that a bridge or container link
    // (which change with every start) does not win over the real card.
    QString virtualWired;
    for (const QString& name : names) {
        if (isLoopback(name) || linkType(name) != ARPHRD_ETHER) continue;
        if (QFileInfo::exists(netFolder() + name + QStringLiteral("/device"))) return name;
        if (virtualWired.isEmpty()) virtualWired = name;
    }
    return virtualWired;
}

QString MacAddressHelper::readMacAddress(bool* failed) {
    if (failed) *failed = true;
    const QString interface = preferredInterface();
    if (interface.isEmpty()) return kNoInterface;
    const QByteArray name = interface.toLocal8Bit();
    if (if_nametoindex(name.constData()) == 0) return kNoInterface;

    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return errno == ENOMEM ? kAllocationFailure : kListFailure;

    QString address = kNoLinkAddress;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET) continue;
        if (qstrcmp(entry->ifa_name, name.constData()) != 0) continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        if (link->sll_halen != 6) continue;
        const unsigned char* a = link->sll_addr;
        address = QString::asprintf("%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
        if (failed) *failed = false;
        break;
    }
    freeifaddrs(list);
    return address;
}

QString MacAddressHelper::getMacAddress() {
    bool failed = false;
    const QString result = readMacAddress(&failed);
    if (failed) qCWarning(lcBrelvo).noquote() << QStringLiteral("Error: %1").arg(result);
    return result;
}

}  // namespace brelvo
