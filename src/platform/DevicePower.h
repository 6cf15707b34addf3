#pragma once

#include <QString>

// The machine's own battery and power supplies, read from
// <sysfs root>/class/power_supply (see DeviceFiles.h for moving the root in
// tests). Any thread; nothing cached. Batteries of attached devices (a mouse,
// a headset: scope "Device") are left out.
namespace brelvo::devicepower {

struct Supplies {
    bool hasBattery = false;      // the first present battery, in name order
    int percent = -1;             // its "capacity"; -1 when it has none
    float level = -1.f;           // else energy or charge now / full, 0..1; -1 when unknown
    QString status;               // its "status": "Charging", "Full", "Discharging", ...
    bool externalOnline = false;  // a mains, USB or other supply delivers power
};

Supplies read();

}  // namespace brelvo::devicepower
