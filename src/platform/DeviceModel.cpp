#include "platform/DeviceModel.h"

#include "platform/DeviceFiles.h"

#include <QMutex>
#include <QMutexLocker>

namespace brelvo::devicemodel {
namespace {

struct ModelOverride {
    QMutex mutex;
    QString identifier;
};

ModelOverride& modelOverride() {
    static ModelOverride o;
    return o;
}

QString hardwareModel() {
    const QString sys = devicefiles::sysfsRoot();
    // Boards with a device tree (handhelds, single-board computers) name
    // themselves there; PCs through the firmware's DMI tables.
    for (const char* file : {"/firmware/devicetree/base/model", "/class/dmi/id/product_name"}) {
        const QString model = devicefiles::readLine(sys + QLatin1String(file));
        if (!model.isEmpty()) return model;
    }
    return QStringLiteral("Linux");
}

}  // namespace

QString identifier() {
    {
        QMutexLocker lock(&modelOverride().mutex);
        if (!modelOverride().identifier.isEmpty()) return modelOverride().identifier;
    }
    const QString fromEnvironment = qEnvironmentVariable("BRELVO_MODEL_IDENTIFIER");
    if (!fromEnvironment.isEmpty()) return fromEnvironment;
    return hardwareModel();
}

void setOverride(const QString& identifier) {
    QMutexLocker lock(&modelOverride().mutex);
    modelOverride().identifier = identifier;
}

}  // namespace brelvo::devicemodel
