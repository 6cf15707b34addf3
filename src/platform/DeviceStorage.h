#pragma once

#include <QtGlobal>

#include <optional>

// The size of the file system that holds the documents folder (paths::documents()),
// from statvfs. Any thread; nothing cached.
namespace brelvo::devicestorage {

struct Volume {
    quint64 totalBytes = 0;
    quint64 availableBytes = 0;  // what an unprivileged program may still write
};

// None when the file system cannot be queried.
std::optional<Volume> documentsVolume();

}  // namespace brelvo::devicestorage
