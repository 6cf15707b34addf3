#include "platform/DeviceMemory.h"

#include "platform/DeviceFiles.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <initializer_list>
#include <unistd.h>

namespace brelvo::devicememory {

std::optional<Pages> read() {
    bool ok = false;
    const QByteArray text = devicefiles::read(devicefiles::procRoot() + QStringLiteral("/meminfo"), &ok);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (!ok || pageSize <= 0) return std::nullopt;

    QHash<QByteArray, quint64> kib;
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) continue;
        const QList<QByteArray> rest = line.mid(colon + 1).simplified().split(' ');
        bool valueOk = false;
        const quint64 value = rest.value(0).toULongLong(&valueOk);
        if (valueOk) kib.insert(line.left(colon), value);
    }
    for (const char* required : {"MemFree", "Active", "Inactive"}) {
        if (!kib.contains(required)) return std::nullopt;
    }
    const auto pages = [&](std::initializer_list<const char*> keys) {
        quint64 bytes = 0;
        for (const char* key : keys) bytes += kib.value(key) * 1024;
        return bytes / quint64(pageSize);
    };
    Pages s;
    s.pageSize = quint64(pageSize);
    s.free = pages({"MemFree"});
    s.active = pages({"Active"});
    s.inactive = pages({"Inactive"});
    s.wired = pages({"Unevictable", "SUnreclaim", "KernelStack", "PageTables"});
    return s;
}

}  // namespace brelvo::devicememory
