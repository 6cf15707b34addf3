#include "ui/images/BrelvoImageManager.h"

#include "ui/images/AtlasTable.h"

#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/Screen.h"
#include "ui/images/BrelvoImageStorage.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace brelvo {
namespace {


// Cut icons are far smaller than this; it keeps a mistaken rectangle from
// asking for gigabytes.
constexpr int kMaxSide = 8192;

qreal mainScreenScale() {
    if (dispatch::isMainThread()) return screen::scale();
    // Widgets belong to the GUI thread; elsewhere the primary screen answers.
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->devicePixelRatio() : 1.0;
}

// The part of source from `from` (in points), size points of it, as a new
// image at the scale: source's own pixels where its ratio is the scale,
// smoothly shrunk where it is finer.
QImage fitted(const QImage& source, QSize size, qreal scale, QPoint from = QPoint()) {
    QImage image(qCeil(size.width() * scale), qCeil(size.height() * scale), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return QImage();
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QPointF(-from.x(), -from.y()), source);
    painter.end();
    return image;
}

}  // namespace

BrelvoImageManager& BrelvoImageManager::sharedInstance() {
    static BrelvoImageManager* manager = new BrelvoImageManager;  // lives until the process ends
    return *manager;
}

QImage BrelvoImageManager::sprite(int scale) const {
    QMutexLocker lock(&mutex_);
    QImage& atlas = sprites_[std::clamp(scale, 1, 3) - 1];
    if (atlas.isNull()) atlas = BrelvoImageStorage::spriteAtScale(std::clamp(scale, 1, 3));
    return atlas;
}

const std::array<BrelvoImageManager::Entry, BrelvoImageManager::kEntryCount>& BrelvoImageManager::atlasTable() {
    return kAtlasSlots;
}

QImage BrelvoImageManager::getImageForKey(const QString& key) const {
    for (int slot = 0; slot < kEntryCount; ++slot) {
        const Entry& entry = kAtlasSlots[slot];
        if (key != QLatin1String(entry.key)) continue;
        const qreal scale = mainScreenScale();
        const QString cacheKey = key + QLatin1Char('@') + QString::number(scale);
        {
            QMutexLocker lock(&mutex_);
            const auto found = icons_.constFind(cacheKey);
            if (found != icons_.constEnd()) return *found;
        }
        // The drawing for the scale itself, or the next finer one shrunk to fit.
        const QImage drawn = BrelvoImageStorage::iconAtScale(slot, std::clamp(qCeil(scale - 0.001), 1, 3));
        if (drawn.isNull()) {
            qCWarning(lcBrelvo) << "the built-in icon" << key << "does not decode";
            return QImage();
        }
        // Drawn for this very scale: used as it is.
        const bool exact = drawn.devicePixelRatio() == scale && drawn.size() == QSize(entry.w, entry.h) * scale;
        QImage image = exact ? drawn : fitted(drawn, QSize(entry.w, entry.h), scale);
        QMutexLocker lock(&mutex_);
        icons_.insert(cacheKey, image);
        return image;
    }
    qCWarning(lcBrelvo) << "no built-in image named" << key;
    return QImage();
}

QImage BrelvoImageManager::cutImageFromSpriteByRect(const QRect& r) const {
    if (r.width() <= 0 || r.height() <= 0) return QImage();
    if (r.width() > kMaxSide || r.height() > kMaxSide) {
        qCWarning(lcBrelvo) << "refusing to cut an image of" << r.size() << "points from the atlas";
        return QImage();
    }
    const qreal scale = mainScreenScale();
    const QImage atlas = sprite(qCeil(scale - 0.001));
    if (atlas.isNull()) return QImage();
    return fitted(atlas, r.size(), scale, r.topLeft());
}

}  // namespace brelvo
