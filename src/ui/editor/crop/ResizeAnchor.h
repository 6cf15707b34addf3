#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>

namespace brelvo {

// Which edges a drag from a touch point moves, as factors of -1, 0 or 1: the
// origin (x, y) follows the touch or stays, the size (height, width) grows
// with it, shrinks with it, or stays. All zero is a move, not a resize.
struct RZUserResizableViewAnchorPoint {
    qreal adjustsX = 0;
    qreal adjustsY = 0;
    qreal adjustsH = 0;
    qreal adjustsW = 0;

    bool isResizing() const { return adjustsX != 0 || adjustsY != 0 || adjustsH != 0 || adjustsW != 0; }
    bool operator==(const RZUserResizableViewAnchorPoint&) const = default;
};

// The anchor of the nearest of the frame's corners, edge midpoints and centre
// (in a view of this size); ties go to the corners first, then the edges.
RZUserResizableViewAnchorPoint anchorPointForTouchLocation(const QSizeF& size, const QPointF& touch);

// How far a resizable frame may go.
struct ResizeLimits {
    qreal minWidth = 48;
    qreal minHeight = 48;
    // The superview's rectangle the frame stays inside, when confined.
    std::optional<QRectF> boundary;
};

// A touch in the boundary's coordinates, kept 10 points inside it when confined.
QPointF confinedTouch(const QPointF& touch, const ResizeLimits& limits);

// The frame after a resize drag from one touch point to the next (both in the
// superview's coordinates): an edge that would make the frame smaller than the
// minimum does not move, and a confined frame is cut at the boundary.
QRectF resizedFrame(const QRectF& frame, const RZUserResizableViewAnchorPoint& anchor, const QPointF& from,
                    const QPointF& to, const ResizeLimits& limits);

// The frame's centre after a move by delta, kept so that a confined frame stays
// inside the boundary.
QPointF translatedCentre(const QRectF& frame, const QPointF& delta, const ResizeLimits& limits);

}  // namespace brelvo
