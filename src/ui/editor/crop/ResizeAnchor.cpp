#include "ui/editor/crop/ResizeAnchor.h"

#include <QLineF>

#include <array>
#include <limits>
#include <utility>

namespace brelvo {

RZUserResizableViewAnchorPoint anchorPointForTouchLocation(const QSizeF& size, const QPointF& touch) {
    const qreal w = size.width();
    const qreal h = size.height();
    // In the order they are examined: corners, then edge midpoints, then the centre.
    const std::array<std::pair<QPointF, RZUserResizableViewAnchorPoint>, 9> anchors{{
        {{0, 0}, {1, 1, -1, 1}},
        {{w, 0}, {0, 1, -1, -1}},
        {{w, h}, {0, 0, 1, -1}},
        {{0, h}, {1, 0, 1, 1}},
        {{w / 2, 0}, {0, 1, -1, 0}},
        {{w / 2, h}, {0, 0, 1, 0}},
        {{0, h / 2}, {1, 0, 0, 1}},
        {{w, h / 2}, {0, 0, 0, -1}},
        {{w / 2, h / 2}, {0, 0, 0, 0}},
    }};
    qreal nearest = std::numeric_limits<float>::max();
    RZUserResizableViewAnchorPoint chosen;
    for (const auto& [point, anchor] : anchors) {
        const qreal distance = QLineF(point, touch).length();
        if (distance < nearest) {
            nearest = distance;
            chosen = anchor;
        }
    }
    return chosen;
}

QPointF confinedTouch(const QPointF& touch, const ResizeLimits& limits) {
    if (!limits.boundary)
        return touch;
    const QRectF& b = *limits.boundary;
    return {qBound(b.left() + 10, touch.x(), b.right() - 10), qBound(b.top() + 10, touch.y(), b.bottom() - 10)};
}

QRectF resizedFrame(const QRectF& frame, const RZUserResizableViewAnchorPoint& a, const QPointF& from,
                    const QPointF& to, const ResizeLimits& limits) {
    const qreal dW = (from.x() - to.x()) * a.adjustsW;
    const qreal dX = -dW * a.adjustsX;
    const qreal dH = (to.y() - from.y()) * a.adjustsH;
    const qreal dY = -dH * a.adjustsY;
    qreal x = frame.x() + dX;
    qreal y = frame.y() + dY;
    qreal width = frame.width() + dW;
    qreal height = frame.height() + dH;
    if (width < limits.minWidth) {
        x = frame.x();
        width = frame.width();
    }
    if (height < limits.minHeight) {
        y = frame.y();
        height = frame.height();
    }
    if (limits.boundary) {
        const QRectF& b = *limits.boundary;
        if (x < b.x()) {
            width = frame.width() + (frame.x() - b.x());
            x = b.x();
        }
        if (x + width > b.right())
            width = b.right() - x;
        if (y < b.y()) {
            height = frame.height() + (frame.y() - b.y());
            y = b.y();
        }
        if (y + height > b.bottom())
            height = b.bottom() - y;
    }
    return {x, y, width, height};
}

QPointF translatedCentre(const QRectF& frame, const QPointF& delta, const ResizeLimits& limits) {
    QPointF centre = frame.center() + delta;
    if (limits.boundary) {
        const QRectF& b = *limits.boundary;
        centre.setX(qBound(b.left() + frame.width() / 2, centre.x(), b.right() - frame.width() / 2));
        centre.setY(qBound(b.top() + frame.height() / 2, centre.y(), b.bottom() - frame.height() / 2));
    }
    return centre;
}

}  // namespace brelvo
