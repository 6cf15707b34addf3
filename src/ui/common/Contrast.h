#pragma once

#include <QColor>

namespace brelvo {

// The contrast ratio of two opaque colours, from 1 (the same) to 21 (black
// on white), by their relative luminance. Body text wants at least 4.5.
qreal contrastRatio(const QColor& a, const QColor& b);

}  // namespace brelvo
