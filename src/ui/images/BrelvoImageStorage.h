#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace brelvo {

// The built-in icon atlas, carried in the library as a data-URL string so that
// a host application needs no resource files of ours.
class BrelvoImageStorage {
public:
    BrelvoImageStorage() = delete;

    // The atlas image (1170 × 255 at scale 1), or a null image when the
    // constant does not decode.
    static QImage getSprite();

    // The constant "data:image/png;base64,…" string.
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
