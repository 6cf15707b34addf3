#include "ui/editor/crop/CropGeometry.h"

#include <QtMath>

#include <utility>

namespace brelvo {

qreal DistanceBetweenTwoPoints(const QPointF& a, const QPointF& b) {
    return qSqrt((b.x() - a.x()) * (b.x() - a.x()) + (b.y() - a.y()) * (b.y() - a.y()));
}

namespace {

qreal finiteOrZero(qreal v) {
    return qIsFinite(v) ? v : 0;
}

// One side of fitted(): overhangs are cut, keeping what lies inside, and a
// span shorter than the minimum grows at its far end, then at its near end.
std::pair<qreal, qreal> fittedSpan(qreal origin, qreal length, qreal minimum, qreal limit) {
    qreal lo = qBound<qreal>(0, origin, limit);
    qreal hi = qBound<qreal>(0, origin + length, limit);
    if (hi - lo < minimum) {
        hi = qMin(lo + minimum, limit);
        lo = hi - minimum;
    }
    return {lo, hi - lo};
}

}  // namespace

QRectF CropGeometry::fitted(const QRectF& rect, const QSizeF& size) {
    const QRectF r = QRectF(finiteOrZero(rect.x()), finiteOrZero(rect.y()), finiteOrZero(rect.width()),
                            finiteOrZero(rect.height()))
                         .normalized();
    const qreal w = qMax<qreal>(0, finiteOrZero(size.width()));
    const qreal h = qMax<qreal>(0, finiteOrZero(size.height()));
    const auto [x, width] = fittedSpan(r.x(), r.width(), qMin(kMinWidth, w), w);
    const auto [y, height] = fittedSpan(r.y(), r.height(), qMin(kMinHeight, h), h);
    return {x, y, width, height};
}

void CropGeometry::setFrameSize(const QSizeF& size) {
    frame_ = QSizeF(qMax<qreal>(0, finiteOrZero(size.width())), qMax<qreal>(0, finiteOrZero(size.height())));
    rect_ = fitted(rect_, frame_);
}

void CropGeometry::setCropRect(const QRectF& rect) {
    rect_ = fitted(rect, frame_);
}

void CropGeometry::centre() {
    setCropRect(QRectF(width() / 2 - kMinWidth / 2, height() / 2 - kMinHeight / 2, kMinWidth, kMinHeight));
}

std::array<QPointF, 4> CropGeometry::gripCentres() const {
    return {rect_.topLeft(), rect_.topRight(), rect_.bottomLeft(), rect_.bottomRight()};
}

void CropGeometry::touchBegan(const QPointF& point) {
    start_ = point;
    mode_ = Idle;
    const auto grips = gripCentres();
    for (int i = 0; i < 4; ++i) {
        if (DistanceBetweenTwoPoints(grips[i], point) < kGripRadius) {
            mode_ = Mode(TopLeft + i);
            return;
        }
    }
    if (rect_.contains(point))
        mode_ = Moving;
}

void CropGeometry::touchMoved(const QPointF& point) {
    switch (mode_) {
    case Idle: return;
    case Moving: moveCropRect(point); break;
    case TopLeft: resizeCropRectTopLeft(point); break;
    case TopRight: resizeCropRectTopRight(point); break;
    case BottomLeft: resizeCropRectBotLeft(point); break;
    case BottomRight: resizeCropRectBotRight(point); break;
    }
    // The drags keep a valid rectangle valid; this keeps any other one from
    // leaving the frame through a drag.
    rect_ = fitted(rect_, frame_);
    start_ = point;
}

void CropGeometry::touchEnded() {
    mode_ = Idle;
}

void CropGeometry::moveCropRect(const QPointF& point) {
    const QPointF d = point - start_;
    const qreal x = qBound<qreal>(0, rect_.x() + d.x(), width() - rect_.width());
    const qreal y = qBound<qreal>(0, rect_.y() + d.y(), height() - rect_.height());
    rect_.moveTo(x, y);
}

qreal CropGeometry::draggedNearEdge(qreal origin, qreal length, qreal delta, qreal minimum) {
    const qreal moved = origin + delta;
    if (moved < 0)
        return 0;
    if (moved + minimum > origin + length)
        return origin + length - minimum;
    return moved;
}

qreal CropGeometry::draggedFarEdge(qreal origin, qreal length, qreal delta, qreal minimum, qreal limit) {
    const qreal moved = length + delta;
    if (moved < minimum)
        return minimum;
    if (moved > limit - origin)
        return limit - origin;
    return moved;
}

void CropGeometry::resizeCropRectTopLeft(const QPointF& point) {
    const QPointF d = point - start_;
    rect_.setLeft(draggedNearEdge(rect_.x(), rect_.width(), d.x(), minWidth()));
    rect_.setTop(draggedNearEdge(rect_.y(), rect_.height(), d.y(), minHeight()));
}

void CropGeometry::resizeCropRectTopRight(const QPointF& point) {
    const QPointF d = point - start_;
    rect_.setWidth(draggedFarEdge(rect_.x(), rect_.width(), d.x(), minWidth(), width()));
    rect_.setTop(draggedNearEdge(rect_.y(), rect_.height(), d.y(), minHeight()));
}

void CropGeometry::resizeCropRectBotLeft(const QPointF& point) {
    const QPointF d = point - start_;
    rect_.setLeft(draggedNearEdge(rect_.x(), rect_.width(), d.x(), minWidth()));
    rect_.setHeight(draggedFarEdge(rect_.y(), rect_.height(), d.y(), minHeight(), height()));
}

void CropGeometry::resizeCropRectBotRight(const QPointF& point) {
    const QPointF d = point - start_;
    rect_.setWidth(draggedFarEdge(rect_.x(), rect_.width(), d.x(), minWidth(), width()));
    rect_.setHeight(draggedFarEdge(rect_.y(), rect_.height(), d.y(), minHeight(), height()));
}

qreal CropGeometry::width() const {
    return frame_.width();
}
qreal CropGeometry::height() const {
    return frame_.height();
}
// A picture smaller than the minimum is cropped to no more than itself.
qreal CropGeometry::minWidth() const {
    return qMin(kMinWidth, width());
}
qreal CropGeometry::minHeight() const {
    return qMin(kMinHeight, height());
}

}  // namespace brelvo
