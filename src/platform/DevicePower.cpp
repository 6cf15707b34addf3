#include "platform/DevicePower.h"

#include "platform/DeviceFiles.h"

#include <QDir>
#include <QStringList>

#include <utility>

namespace brelvo::devicepower {

Supplies read() {
    Supplies facts;
    const QString folder = devicefiles::sysfsRoot() + QStringLiteral("/class/power_supply/");
    const QStringList supplies =
        QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString& name : supplies) {
        const QString base = folder + name + QLatin1Char('/');
        const auto value = [&base](const char* file) { return devicefiles::readLine(base + QLatin1String(file)); };
        // The batteries of a mouse or a headset (scope "Device") say nothing
        // about the machine's own power.
        if (value("scope") == QLatin1String("Device")) continue;
        if (value("type") != QLatin1String("Battery")) {
            if (value("online") == QLatin1String("1")) facts.externalOnline = true;
            continue;
        }
        if (facts.hasBattery || value("present") == QLatin1String("0")) continue;
        facts.hasBattery = true;
        facts.status = value("status");
        bool ok = false;
        const int capacity = value("capacity").toInt(&ok);
        if (ok) {
            facts.percent = capacity;
            continue;
        }
        for (const auto& [now, full] : {std::pair{"energy_now", "energy_full"}, std::pair{"charge_now", "charge_full"}}) {
            bool nowOk = false, fullOk = false;
            const double n = value(now).toDouble(&nowOk);
            const double f = value(full).toDouble(&fullOk);
            if (nowOk && fullOk && f > 0) {
                facts.level = float(n / f);
                break;
            }
        }
    }
    return facts;
}

}  // namespace brelvo::devicepower
