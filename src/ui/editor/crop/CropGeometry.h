#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <array>

namespace brelvo {

// The crop frame's state and the rules for dragging it, on plain values: the
// crop rectangle lives in the coordinates of the fitted picture (0, 0, W, H)
// and is kept inside it and no smaller than 150 × 100 points (or the picture,
// when the picture is smaller than that).
class CropGeometry {
public:
    static constexpr qreal kMinWidth = 150;
    static constexpr qreal kMinHeight = 100;
    // Radius of the corner grips, drawn and touched.
    static constexpr qreal kGripRadius = 15;

    // What a touch in progress does.
    enum Mode { Idle = 0, Moving = 1, TopLeft = 2, TopRight = 3, BottomLeft = 4, BottomRight = 5 };

    QSizeF frameSize() const { return frame_; }
    // A new picture size pulls the rectangle back inside it, shrinking it
    // only as far as it must.
    void setFrameSize(const QSizeF& size);

    QRectF cropRect() const { return rect_; }
    // Any rectangle is taken: it is fitted into the frame first.
    void setCropRect(const QRectF& rect);
    // The rectangle each entry into crop mode starts from: 150 × 100 in the
    // middle of the frame.
    void centre();

    Mode mode() const { return mode_; }
    QPointF startPoint() const { return start_; }

    // Grip centres, in the order top-left, top-right, bottom-left, bottom-right.
    std::array<QPointF, 4> gripCentres() const;

    // A touch: a press picks the grip within reach (or the rectangle, to move
    // it; anything else does nothing until release), each move drags by the
    // distance from the previous touch point.
    void touchBegan(const QPointF& point);
    void touchMoved(const QPointF& point);
    void touchEnded();

    // The drags, from the previous touch point to this one.
    void moveCropRect(const QPointF& point);
    void resizeCropRectTopLeft(const QPointF& point);
    void resizeCropRectTopRight(const QPointF& point);
    void resizeCropRectBotLeft(const QPointF& point);
    void resizeCropRectBotRight(const QPointF& point);

    // The rectangle inside (0, 0, size) and no smaller than the minimum (or
    // than the frame, along a side shorter than the minimum): what lies
    // outside is cut off, then a side too short grows at its far end and, once
    // that meets the frame's edge, at its near end.
    static QRectF fitted(const QRectF& rect, const QSizeF& size);

private:
    qreal width() const;
    qreal height() const;
    qreal minWidth() const;
    qreal minHeight() const;
    // x (or y) of a top or left edge dragged by delta, its far edge fixed.
    static qreal draggedNearEdge(qreal origin, qreal length, qreal delta, qreal minimum);
    // width (or height) with the far edge dragged by delta, its origin fixed.
    static qreal draggedFarEdge(qreal origin, qreal length, qreal delta, qreal minimum, qreal limit);

    QSizeF frame_{0, 0};
    QRectF rect_{50, 50, kMinWidth, kMinHeight};
    QPointF start_;
    Mode mode_ = Idle;
};

qreal DistanceBetweenTwoPoints(const QPointF& a, const QPointF& b);

}  // namespace brelvo
