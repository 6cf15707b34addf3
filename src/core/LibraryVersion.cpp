#include <brelvo/Brelvo.h>

#include "platform/PropertyList.h"

#include <QFile>

namespace brelvo {

QString libraryVersion() {
    static const QString version = [] {
        QFile file(QStringLiteral(":/BrelvoSDKResources.bundle/libInfo.plist"));
        if (!file.open(QIODevice::ReadOnly)) return QString();
        return plist::fromData(file.readAll()).toMap().value(QStringLiteral("Version")).toString();
    }();
    return version;
}

}  // namespace brelvo
