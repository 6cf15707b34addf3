#include "platform/FileReplace.h"

#include <QFile>
#include <QSaveFile>

#include <cstdio>

namespace brelvo::files {

bool replaceContents(const QString& path, const QByteArray& bytes) {
    const QString partial = path + QStringLiteral(".part");
    QFile file(partial);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush()) {
        file.close();
        QFile::remove(partial);
        return false;
    }
    file.close();
    // rename(2) replaces an existing file in one step; QFile::rename would not.
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(partial);
        return false;
    }
    return true;
}

bool replaceContentsSynced(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    // The explicit flush is what reports a full disk: commit() flushes too but
    // renames over the old file even when that flush failed, leaving it empty.
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() && file.commit())
        return true;
    if (error) *error = file.errorString();
    return false;
}

}  // namespace brelvo::files
