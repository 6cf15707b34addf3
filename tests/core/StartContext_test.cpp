// What the facade hands down at start: the components below it send the
// facade's API key and the device's identity without reading the facade.
#include <brelvo/Brelvo.h>

#include "diagnostics/CrashHelper.h"
#include "diagnostics/GetSystemInfoBrelvo.h"
#include "protocol/JSONClientBrelvo.h"

#include <gtest/gtest.h>

using namespace brelvo;

TEST(StartContext, TheBodiesCarryTheDeviceIdentityAndTheQueuesTheFacadesKey) {
    Brelvo& facade = Brelvo::shared();
    const GetSystemInfoBrelvo& info = GetSystemInfoBrelvo::shared();
    const DeviceIdentity identity = JSONClientBrelvo::shared().identity();
    EXPECT_EQ(identity.locale, info.getlocaleOfDevice());
    EXPECT_EQ(identity.udid, info.getAdvertisingIdentifier() + QLatin1Char('_') + info.getSystemFingerPrint());
    EXPECT_EQ(identity.appId, info.getAppId());

    facade.setApiKey(QStringLiteral("key-42"));
    EXPECT_EQ(CrashHelper::shared().apiKey(), QStringLiteral("key-42"));
}
