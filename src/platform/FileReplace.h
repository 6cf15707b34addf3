#pragma once

#include <QByteArray>
#include <QString>

namespace brelvo::files {

// Writes the bytes to "<path>.part" and renames that over the path, so that a
// reader finds the old contents or the new ones, never a mix. Not synced to
// disk: for files that need to outlive the process, not a power cut. False
// (and nothing left behind) when the file cannot be written or renamed.
bool replaceContents(const QString& path, const QByteArray& bytes);

}  // namespace brelvo::files
