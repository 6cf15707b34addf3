#pragma once

#include "ui/images/AtlasTable.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <array>

namespace brelvo {

// Cuts the built-in icons out of the atlas by name.
class BrelvoImageManager {
public:
    using Entry = AtlasSlot;
    static constexpr int kEntryCount = 27;

    // The one instance; the atlas is decoded once, when it is made.
    static BrelvoImageManager& sharedInstance();

    // The icon of the key, w × h points at the screen's scale; a null image
    // (and a log line) for a key that is not in the table, or when the atlas
    // did not decode.
    QImage getImageForKey(const QString& key) const;

    // The atlas region r as a new image of r's size in points at the screen's
    // scale; null for an empty rectangle.
    QImage cutImageFromSpriteByRect(const QRect& r) const;

    const QImage& spriteImage() const { return spriteImage_; }

    // Every key with its rectangle, in table order.
    static const std::array<Entry, kEntryCount>& atlasTable();

    BrelvoImageManager(const BrelvoImageManager&) = delete;
    BrelvoImageManager& operator=(const BrelvoImageManager&) = delete;

private:
    BrelvoImageManager();
    QImage spriteImage_;
};

}  // namespace brelvo
