#pragma once

#include "ui/images/AtlasTable.h"

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QRect>
#include <QString>

#include <array>

namespace brelvo {

// The built-in icons by name. Each icon is decoded when first asked for and
// kept per scale; the whole atlas only for cuts of other rectangles. Safe on
// any thread.
class BrelvoImageManager {
public:
    using Entry = AtlasSlot;
    static constexpr int kEntryCount = 27;

    static BrelvoImageManager& sharedInstance();

    // The icon of the key, w × h points at the screen's scale; a null image
    // (and a log line) for a key that is not in the table, or when the atlas
    // did not decode.
    QImage getImageForKey(const QString& key) const;

    // The atlas region r as a new image of r's size in points at the screen's
    // scale, taken from the atlas drawn for the nearest scale at or above it
    // (never enlarged below 3x); null for an empty rectangle.
    QImage cutImageFromSpriteByRect(const QRect& r) const;

    // The atlas at scale 1.
    QImage spriteImage() const { return sprite(1); }

    // Every key with its rectangle, in table order.
    static const std::array<Entry, kEntryCount>& atlasTable();

    BrelvoImageManager(const BrelvoImageManager&) = delete;
    BrelvoImageManager& operator=(const BrelvoImageManager&) = delete;

private:
    BrelvoImageManager() = default;
    QImage sprite(int scale) const;

    mutable QMutex mutex_;
    mutable std::array<QImage, 3> sprites_;  // by scale - 1, once assembled
    mutable QHash<QString, QImage> icons_;   // by key and scale
};

}  // namespace brelvo
