#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace brelvo {

// The built-in icon atlas, carried in the library so that a host application
// needs no resource files of ours: each icon of the table drawn at 1x, 2x and
// 3x, compressed on its own, so that one icon decodes without the rest.
class BrelvoImageStorage {
public:
    BrelvoImageStorage() = delete;

    // The atlas image (1170 × 255 at scale 1): the icons at their places on a
    // transparent ground.
    static QImage getSprite();
    // The atlas for the device pixel ratio 1, 2 or 3 (that many times the
    // points in pixels, with the ratio set on the image); null for any other.
    static QImage spriteAtScale(int scale);
    // The icon of kAtlasSlots[slot] drawn for the device pixel ratio 1, 2 or 3,
    // with the ratio set; null for any other slot or scale, or bytes that do
    // not decode.
    static QImage iconAtScale(int slot, int scale);

    // The atlas at scale 1 as a "data:image/png;base64,…" string.
    static QString imageData();

    // A data URL's image: null when the text is shorter than 23 characters,
    // does not split at "," into exactly two parts, or its second part is not
    // Base64 of a readable image.
    static QImage imageFromBase64String(const QString& text);

    // Standard Base64, read up to the first NUL. Tab, line feed, form feed,
    // carriage return and space are skipped. None for any other character
    // outside the alphabet, for non-ASCII text, and for padding or an end
    // where a group of four cannot end: "=" after fewer than two characters of
    // a group, more "=" than the group has room for, data after the padding,
    // or a last group of a single character.
    static std::optional<QByteArray> decodeBase64WithString(const QString& text);
};

}  // namespace brelvo
