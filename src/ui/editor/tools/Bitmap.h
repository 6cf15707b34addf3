#pragma once

#include <QImage>
#include <QSizeF>

namespace brelvo::bitmap {

// The largest bitmap the editor makes: 8192 x 8192 pixels (256 MB). A picture
// past it is refused with a log line rather than risking the process.
inline constexpr qint64 kMaxPixels = qint64(8192) * 8192;

// The pixel size of a bitmap of `points` at `ratio`; empty when either side
// is under one pixel (or not a number).
QSize pixelSize(const QSizeF& points, qreal ratio);

// A transparent premultiplied bitmap of that many points at that pixel
// ratio. Null, with a log line, when the size is empty, too large or cannot
// be allocated.
QImage blank(const QSizeF& points, qreal ratio);

// The size of the image in points (pixels over its pixel ratio).
QSizeF pointSize(const QImage& image);

}  // namespace brelvo::bitmap
