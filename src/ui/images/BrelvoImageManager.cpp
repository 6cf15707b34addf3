#include "ui/images/BrelvoImageManager.h"

#include "ui/images/AtlasTable.h"

#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/Screen.h"
#include "ui/images/BrelvoImageStorage.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

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

}  // namespace

BrelvoImageManager& BrelvoImageManager::sharedInstance() {
    static BrelvoImageManager* manager = new BrelvoImageManager;  // lives until the process ends
    return *manager;
}

BrelvoImageManager::BrelvoImageManager() : spriteImage_(BrelvoImageStorage::getSprite()) {
    if (spriteImage_.isNull()) qCWarning(lcBrelvo) << "the built-in icon atlas does not decode; icons are missing";
}

const std::array<BrelvoImageManager::Entry, BrelvoImageManager::kEntryCount>& BrelvoImageManager::atlasTable() {
    return kAtlasSlots;
}

QImage BrelvoImageManager::getImageForKey(const QString& key) const {
    for (const Entry& entry : kAtlasSlots) {
        if (key == QLatin1String(entry.key)) return cutImageFromSpriteByRect(QRect(entry.x, entry.y, entry.w, entry.h));
    }
    qCWarning(lcBrelvo) << "no built-in image named" << key;
    return QImage();
}

QImage BrelvoImageManager::cutImageFromSpriteByRect(const QRect& r) const {
    if (r.width() <= 0 || r.height() <= 0 || spriteImage_.isNull()) return QImage();
    if (r.width() > kMaxSide || r.height() > kMaxSide) {
        qCWarning(lcBrelvo) << "refusing to cut an image of" << r.size() << "points from the atlas";
        return QImage();
    }
    const qreal scale = mainScreenScale();
    QImage image(qCeil(r.width() * scale), qCeil(r.height() * scale), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return QImage();
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QPointF(-r.x(), -r.y()), spriteImage_);
    painter.end();
    return image;
}

}  // namespace brelvo
