#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace brelvo {

// The library's card: a white rounded rectangle with a hairline edge, on the
// pale page colour, behind a group of values (the menu's boxes, the
// profile's rows).
namespace card {

inline constexpr QColor kPage(244, 246, 250);
inline constexpr QColor kEdge(226, 230, 236);
inline constexpr int kMargin = 12;  // from the page's sides
inline constexpr int kRadius = 10;

void paint(QPainter& painter, const QRectF& rect);

}  // namespace card
}  // namespace brelvo
