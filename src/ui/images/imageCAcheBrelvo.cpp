#include "ui/images/imageCAcheBrelvo.h"

#include "platform/Defaults.h"
#include "platform/HttpGet.h"
#include "platform/Log.h"
#include "ui/images/ImageCacheFiles.h"

#include <QBuffer>
#include <QFile>

namespace brelvo {
namespace {

QImage fetchImage(const QString& url) {
    const std::optional<QByteArray> bytes = http::get(url);
    if (!bytes) return QImage();
    QImage image = QImage::fromData(*bytes);
    if (image.isNull()) qCWarning(lcBrelvo) << "the answer from" << url.left(200) << "is not an image";
    return image;
}

QByteArray pngOf(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return QByteArray();
    return png;
}

}  // namespace

imageCAcheBrelvo& imageCAcheBrelvo::shared() {
    static imageCAcheBrelvo* cache = new imageCAcheBrelvo;  // lives until the process ends
    return *cache;
}

QImage imageCAcheBrelvo::getImageByURL(const QString& url) const {
    const QString path = imagecache::filePathForURL(url);
    QFile file(path);
    if (file.exists()) {
        if (file.open(QIODevice::ReadOnly)) {
            const QImage cached = QImage::fromData(file.readAll());
            if (!cached.isNull()) return cached;
        }
        // A damaged file would otherwise hide the picture for good.
        qCWarning(lcBrelvo) << "the cached picture" << path << "is unreadable; fetching it again";
    }
    const QImage image = fetchImage(url);
    if (image.isNull()) return image;
    const QByteArray png = pngOf(image);
    if (!png.isEmpty()) imagecache::writeAtomically(path, png);
    return image;
}

QImage imageCAcheBrelvo::cacheImageWithURL(const QString& url) const {
    const QImage image = fetchImage(url);
    Defaults& defaults = Defaults::standard();
    const QByteArray png = image.isNull() ? QByteArray() : pngOf(image);
    if (png.isEmpty()) {
        qCInfo(lcBrelvo) << "no picture at" << url.left(200) << "; the kept user picture is removed";
        defaults.removeObject(QLatin1String(kUserIconKey));
    } else {
        defaults.setObject(png, QLatin1String(kUserIconKey));
    }
    defaults.synchronize();
    return image;
}

QImage imageCAcheBrelvo::getImageFromUserDefaults() const {
    const QVariant value = Defaults::standard().object(QLatin1String(kUserIconKey));
    if (value.typeId() != QMetaType::QByteArray) return QImage();
    return QImage::fromData(value.toByteArray());
}

}  // namespace brelvo
