#pragma once

#include <QString>

#include <functional>

namespace brelvo {

// What identifies this device and application to the service in every body:
// the locale, the device identifier and the application identifier.
struct DeviceIdentity {
    QString locale;
    QString udid;
    QString appId;
};

// The one value the facade builds at start and hands to what it creates: the
// project's API key and where the request bodies take the device's identity
// from. The identity is read per body, as the locale and the advertising
// identifier may change while the application runs. (The service's address is
// not here: the host may repoint it while running, so the transport reads it
// per request.)
struct StartContext {
    QString apiKey;
    std::function<DeviceIdentity()> identity;
};

}  // namespace brelvo
