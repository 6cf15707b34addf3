#pragma once

#include <QByteArray>
#include <QImage>

namespace brelvo::png {

// PNG bytes of the image, encoded with libpng for speed rather than size
// (compression level 1, the "up" filter, from RGBA 8-bit rows): screenshots
// are encoded while the tester waits. The device pixel ratio is not stored.
// Empty for a null image or when encoding fails (logged).
QByteArray encode(const QImage& image);

}  // namespace brelvo::png
