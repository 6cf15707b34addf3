#pragma once

#include <QByteArray>
#include <QString>

namespace brelvo::files {

// Writes the bytes to "<path>.part" and renames that over the path, so that a
// reader finds the old contents or the new ones, never a mix. Not synced to
// disk: for files that need to outlive the process, not a power cut. False
// (and nothing left behind) when the file cannot be written or renamed.
bool replaceContents(const QString& path, const QByteArray& bytes);

// The same through a temporary file of its own (QSaveFile), so that writers of
// one path on several threads never mix, and with the bytes synced to disk
// before the rename. The rename itself is durable once the caller also syncs
// the folder. False when the file cannot be written, synced or renamed; then
// *error (when given) says why, and the old contents stay.
bool replaceContentsSynced(const QString& path, const QByteArray& bytes, QString* error = nullptr);

}  // namespace brelvo::files
