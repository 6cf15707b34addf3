#include "ui/editor/BrelvoImageManager.h"

#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "platform/Screen.h"
#include "ui/editor/BrelvoImageStorage.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace brelvo {
namespace {

constexpr std::array<BrelvoImageManager::Entry, BrelvoImageManager::kEntryCount> kTable{{
    {"icon_marker", 1121, 157, 47, 45},
    {"icon_crop", 1075, 205, 45, 45},
    {"offline", 698, 225, 63, 20},
    {"autorisation_logo", 255, 2, 250, 250},
    {"icon_pencil", 1028, 205, 45, 45},
    {"logo", 698, 2, 236, 39},
    {"bv_button", 936, 2, 108, 107},
    {"cash_data", 844, 205, 53, 44},
    {"redo_act", 899, 220, 25, 25},
    {"button_edit_for_summaru_textField", 1028, 157, 91, 46},
    {"undo_act", 763, 225, 25, 25},
    {"bv_button_loading", 808, 43, 108, 107},
    {"redo", 926, 220, 25, 25},
    {"back", 953, 220, 25, 25},
    {"icon_arrow", 1122, 204, 45, 45},
    {"sign", 844, 152, 61, 51},
    {"save", 817, 225, 25, 25},
    {"undo", 790, 225, 25, 25},
    {"screenshot_button_unactive", 1046, 2, 108, 107},
    {"refresh", 698, 152, 71, 71},
    {"screenshot_button", 918, 111, 108, 107},
    {"edit_screenshot_btn@2x~ipad", 771, 152, 71, 71},
    {"connection_error", 2, 2, 251, 251},
    {"icon_text", 1124, 111, 37, 43},
    {"error_img@2x", 507, 2, 189, 251},
    {"bv_button_unactive", 698, 43, 108, 107},
    {"send_issue", 1028, 111, 94, 44},
}};

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
    return kTable;
}

QImage BrelvoImageManager::getImageForKey(const QString& key) const {
    for (const Entry& entry : kTable) {
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
