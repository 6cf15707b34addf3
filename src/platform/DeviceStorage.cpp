#include "platform/DeviceStorage.h"

#include "platform/AppPaths.h"

#include <QByteArray>
#include <QFile>

#include <sys/statvfs.h>

namespace brelvo::devicestorage {

std::optional<Volume> documentsVolume() {
    struct statvfs info {};
    const QByteArray path = QFile::encodeName(paths::documents());
    if (statvfs(path.constData(), &info) != 0) return std::nullopt;
    return Volume{quint64(info.f_blocks) * info.f_frsize, quint64(info.f_bavail) * info.f_frsize};
}

}  // namespace brelvo::devicestorage
