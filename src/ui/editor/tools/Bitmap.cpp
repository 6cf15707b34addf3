#include "ui/editor/tools/Bitmap.h"

#include "platform/Log.h"

#include <cmath>

namespace brelvo::bitmap {

QSize pixelSize(const QSizeF& points, qreal ratio) {
    const double w = std::round(points.width() * ratio);
    const double h = std::round(points.height() * ratio);
    // Written so that NaN fails as well.
    if (!(w >= 1 && h >= 1) || w > kMaxPixels || h > kMaxPixels) return {};
    return {int(w), int(h)};
}

QImage blank(const QSizeF& points, qreal ratio) {
    const QSize pixels = pixelSize(points, ratio);
    if (pixels.isEmpty()) {
        qCWarning(lcBrelvo) << "editor: no bitmap of" << points << "points at ratio" << ratio;
        return {};
    }
    if (qint64(pixels.width()) * pixels.height() > kMaxPixels) {
        qCWarning(lcBrelvo) << "editor: a bitmap of" << pixels << "pixels is too large; refused";
        return {};
    }
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        qCWarning(lcBrelvo) << "editor: no memory for a bitmap of" << pixels << "pixels";
        return {};
    }
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

QSizeF pointSize(const QImage& image) {
    return image.isNull() ? QSizeF() : QSizeF(image.size()) / image.devicePixelRatio();
}

}  // namespace brelvo::bitmap
