#include "platform/PhotoAlbum.h"

#include "platform/FileReplace.h"
#include "platform/Log.h"
#include "platform/PngEncoder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>

namespace brelvo::photoAlbum {

QString folder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!folder.isEmpty()) QDir().mkpath(folder);
    return folder;
}

QString save(const QImage& image) {
    const QString album = folder();
    const QByteArray bytes = png::encode(image);
    if (album.isEmpty() || bytes.isEmpty()) {
        qCWarning(lcBrelvo) << "screenshot not saved to the photo album: no folder or no picture";
        return {};
    }
    // Choosing the name and writing the file under one lock: two saves in the
    // same second must not pick the same name.
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    const QString stem = QStringLiteral("%1/brelvo-screenshot-%2")
                             .arg(album, QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString path = stem + QStringLiteral(".png");
    for (int n = 2; QFile::exists(path); ++n) path = QStringLiteral("%1-%2.png").arg(stem).arg(n);
    if (!files::replaceContents(path, bytes)) {
        qCWarning(lcBrelvo) << "screenshot not saved to the photo album: the file could not be written";
        return {};
    }
    return path;
}

}  // namespace brelvo::photoAlbum
