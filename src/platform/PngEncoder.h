#pragma once

#include <QByteArray>
#include <QImage>

namespace brelvo::png {

// PNG bytes of the image, encoded for speed rather than size (ISA-L deflate at
// level 2, unfiltered RGBA 8-bit rows): screenshots are encoded
// while the tester waits. The device pixel ratio is not stored.
// Empty for a null image or when encoding fails (logged).
QByteArray encode(const QImage& image);

}  // namespace brelvo::png
