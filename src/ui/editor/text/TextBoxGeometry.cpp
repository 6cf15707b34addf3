#include "ui/editor/text/TextBoxGeometry.h"

#include <cmath>

namespace brelvo {

QPointF rotate_point(double cx, double cy, double angle, double px, double py) {
    const float c = float(std::cos(angle));
    const float s = float(std::sin(angle));
    const float x = float((px - cx) * c - (py - cy) * s);
    const float y = float((py - cy) * c + (px - cx) * s);
    return {x + cx, y + cy};
}

QPointF textBoxCentre(const QRectF& frame, const TextPlacement& placement) {
    return frame.center() + QPointF(placement.x, placement.y);
}

QPointF textHandleCentre(const QRectF& frame, const TextPlacement& placement) {
    const QPointF c = textBoxCentre(frame, placement);
    const QPointF corner(c.x() + frame.width() * 0.5 * placement.width,
                         c.y() + frame.height() * 0.5 * placement.height);
    return rotate_point(c.x(), c.y(), placement.angle, corner.x(), corner.y());
}

bool touchesTextHandle(QPointF touch, QPointF handle) {
    return std::hypot(touch.x() - handle.x(), touch.y() - handle.y()) < kTextHandleRadius;
}

double textAngleTowards(QPointF centre, QPointF p, const QSizeF& bounds) {
    const double cx = std::trunc(centre.x());
    const double cy = std::trunc(centre.y());
    const float dx = float(p.x() - cx);
    const float dy = float(p.y() - cy);
    // The corner's own direction, an arctangent: taking the ratio h / w for
    // it leaves the handle off the finger, and divides by zero with no width.
    const float k = float(-std::atan2(bounds.height() * 0.5, bounds.width() * 0.5));
    return k + M_PI_2 + std::atan2(-dx, dy);
}

double textScaleTowards(QPointF centre, QPointF p, const QSizeF& bounds, double previous) {
    const double d = std::hypot(bounds.width() / 2, bounds.height() / 2);
    if (!(d > 0))
        return previous;
    return std::hypot(p.x() - centre.x(), p.y() - centre.y()) / d;
}

QTransform textFieldTransform(const QRectF& frame, const TextPlacement& placement) {
    const QPointF c = textBoxCentre(frame, placement);
    QTransform t;
    t.translate(c.x(), c.y());
    t.rotateRadians(placement.angle);
    t.scale(placement.width, placement.height);
    t.translate(-frame.width() / 2, -frame.height() / 2);
    return t;
}

bool TextBoxGeometry::fieldContains(QPointF point) const {
    bool invertible = false;
    const QTransform inverse = transform().inverted(&invertible);
    return invertible && QRectF(QPointF(0, 0), frame_.size()).contains(inverse.map(point));
}

void TextBoxGeometry::touchBegan(QPointF point) {
    enterEdit_ = false;
    start_ = point;
    if (touchesTextHandle(point, handleCentre())) {
        mode_ = Turning;
    } else if (fieldContains(point)) {
        mode_ = Moving;
        enterEdit_ = true;
    }
}

void TextBoxGeometry::touchMoved(QPointF point) {
    enterEdit_ = false;
    if (mode_ == Moving)
        moveTextView(point);
    else if (mode_ == Turning)
        scaleTextRect(point);
    start_ = point;
}

bool TextBoxGeometry::touchEnded() {
    mode_ = Idle;
    const bool tapped = enterEdit_;
    enterEdit_ = false;
    return tapped;
}

void TextBoxGeometry::moveTextView(QPointF p) {
    placement_.x += p.x() - start_.x();
    placement_.y += p.y() - start_.y();
}

void TextBoxGeometry::scaleTextRect(QPointF p) {
    const QPointF c = textBoxCentre(frame_, placement_);
    placement_.angle = textAngleTowards(c, p, frame_.size());
    // Scaled to the point under the finger now, not the previous one: the
    // handle keeps to the finger instead of trailing it by one event.
    placement_.width = placement_.height = textScaleTowards(c, p, frame_.size(), placement_.width);
}

}  // namespace brelvo
