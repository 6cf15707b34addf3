#include "ui/issue/ScreenshotStore.h"

#include "diagnostics/GetSystemInfoBrelvo.h"
#include "platform/AppPaths.h"
#include "platform/Defaults.h"
#include "platform/Dispatch.h"
#include "platform/FileReplace.h"
#include "platform/Log.h"
#include "platform/PngEncoder.h"
#include "platform/VariantKinds.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QThread>

namespace brelvo {

const QString ScreenshotStore::kListKey = QStringLiteral("BrelvoIssue_Screenshot");
const QString ScreenshotStore::kOrientationsKey = QStringLiteral("BrelvoIssue_Screenshot_Orientations");

namespace {

const QLatin1Char kSeparator(',');

bool fileExists(const QString& path) {
    return QFile::exists(path);
}

// The stored text; anything but a string (none, a corrupt value) reads as no list.
QString storedText(const QVariant& stored) {
    return stored.typeId() == QMetaType::QString ? stored.toString() : QString();
}

}  // namespace

ScreenshotStore& ScreenshotStore::shared() {
    static ScreenshotStore* store = dispatch::createOnMain([] { return new ScreenshotStore; });  // lives until the process ends
    return *store;
}

QStringList ScreenshotStore::readBack(const QVariant& stored, const std::function<bool(const QString&)>& exists) {
    QStringList paths;
    for (const QString& piece : storedText(stored).split(kSeparator)) {
        if (paths.size() == kMaxScreenshots) break;
        if (!piece.isEmpty() && exists(piece)) paths.append(piece);
    }
    return paths;
}

QString ScreenshotStore::appended(const QVariant& stored, const QString& path) {
    // No key yet (a fresh install) is no list at all: the path stands alone.
    if (storedText(stored).isNull()) return path;
    QStringList pieces = storedText(stored).split(kSeparator);
    pieces.append(path);
    return pieces.join(kSeparator);
}

QString ScreenshotStore::pathAt(const QStringList& paths, const QVariant& index) {
    if (!variants::isNumber(index)) return {};
    const double value = index.toDouble();
    if (value != static_cast<double>(static_cast<qint64>(value)) || value < 0 || value >= paths.size()) return {};
    return paths.at(static_cast<qsizetype>(value));
}

QStringList ScreenshotStore::list() {
    Defaults& defaults = Defaults::standard();
    const QVariant stored = defaults.object(kListKey);
    const QStringList paths = readBack(stored, fileExists);
    if (stored.isValid() && paths.join(kSeparator) != storedText(stored)) {
        // Rewritten under the store's lock from what is stored then, so that
        // an append in between is not lost.
        QStringList result;
        defaults.update(kListKey, [&](const QVariant& current) {
            result = readBack(current, fileExists);
            return QVariant(result.join(kSeparator));
        });
        return result;
    }
    return paths;
}

bool ScreenshotStore::append(const QString& path) {
    if (path.contains(kSeparator)) {
        qCWarning(lcBrelvo) << "screenshot path holds \",\" and cannot be listed:" << path;
        return false;
    }
    bool full = false;
    Defaults::standard().update(kListKey, [&](const QVariant& current) {
        full = readBack(current, fileExists).size() >= kMaxScreenshots;
        return full ? current : QVariant(appended(current, path));
    });
    if (full) qCWarning(lcBrelvo) << "the issue already holds" << kMaxScreenshots << "screenshots; not listed:" << path;
    return !full;
}

bool ScreenshotStore::remove(const QString& path) {
    if (path.isEmpty()) return false;
    bool listed = false;
    Defaults::standard().update(kListKey, [&](const QVariant& current) {
        QStringList pieces = storedText(current).split(kSeparator);
        listed = pieces.removeAll(path) > 0;
        return listed ? QVariant(pieces.join(kSeparator)) : current;
    });
    if (!listed) {
        qCWarning(lcBrelvo) << "screenshot to delete is not in the list; nothing deleted";
        return false;
    }
    if (QFile::remove(path))
        qCInfo(lcBrelvo).noquote() << QStringLiteral("file %1 deleted").arg(path);
    else
        qCWarning(lcBrelvo).noquote() << QStringLiteral("file %1 not deleted").arg(path);
    return true;
}

void ScreenshotStore::removeSent(const QStringList& paths) {
    Defaults::standard().update(kListKey, [&](const QVariant& current) {
        if (!current.isValid()) return current;
        QStringList pieces = storedText(current).split(kSeparator);
        for (const QString& path : paths) pieces.removeAll(path);
        return QVariant(pieces.join(kSeparator));
    });
    for (const QString& path : paths) {
        if (!path.isEmpty() && !QFile::remove(path))
            qCWarning(lcBrelvo).noquote() << QStringLiteral("screenshot %1 not deleted").arg(path);
    }
}

QString ScreenshotStore::newScreenshotPath() {
    const QString folder = paths::documents() + QStringLiteral("/MorivaFiles");
    QDir().mkpath(folder);
    // The time text has millisecond steps; two captures within one would share a name.
    static QString last;
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    QString path;
    for (int tries = 0; tries < 100; ++tries) {
        path = QStringLiteral("%1/%2_screenshot.png").arg(folder, GetSystemInfoBrelvo::shared().getCurrentTime());
        if (path != last && !QFile::exists(path)) break;
        QThread::msleep(1);
    }
    last = path;
    return path;
}

bool ScreenshotStore::writePng(const QString& path, const QImage& image) {
    const QByteArray bytes = png::encode(image);
    QString error = QStringLiteral("the image could not be encoded");
    if (!bytes.isEmpty() && files::replaceContentsSynced(path, bytes, &error)) return true;
    qCWarning(lcBrelvo) << "Screenshot didn't created" << "-" << error;
    return false;
}

QString ScreenshotStore::saveCapture(const QImage& image) {
    const QString path = newScreenshotPath();
    dispatch::toGlobal([this, path, image] {
        bool saved = writePng(path, image);
        if (saved && !append(path)) {
            QFile::remove(path);  // our own new file, listed nowhere
            saved = false;
        }
        QMetaObject::invokeMethod(this, [this, path, saved] {
            if (saved)
                emit captureSaved(path);
            else
                emit captureNotSaved(path);
        }, Qt::QueuedConnection);
    });
    return path;
}

void ScreenshotStore::saveEdited(const QString& path, const QImage& image) {
    dispatch::toGlobal([this, path, image] {
        const bool saved = writePng(path, image);
        QMetaObject::invokeMethod(this, [this, path, saved] {
            if (saved)
                emit editSaved(path);
            else
                emit editNotSaved(path);
        }, Qt::QueuedConnection);
    });
}

}  // namespace brelvo
