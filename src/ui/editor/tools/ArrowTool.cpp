#include "ui/editor/tools/ArrowTool.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace brelvo {

namespace {

constexpr qreal kWidth = 3.0;

// Draws `top` over `bottom`, both of the layers' size; the other one when
// either is missing.
QImage over(const QImage& bottom, const QImage& top, const EditLayers& layers) {
    if (bottom.isNull()) return top;
    if (top.isNull()) return bottom;
    QImage result = bottom;
    {
        QPainter painter(&result);
        painter.drawImage(layers.bounds(), top);
    }
    return result;
}

QRectF arrowBounds(QPointF from, QPointF to) {
    QRectF r = QRectF(from, to).normalized();
    if (const auto barbs = arrowBarbs(from, to)) r = r.united(QRectF(barbs->first, barbs->second).normalized());
    const qreal margin = kWidth / 2 + 1;
    return r.adjusted(-margin, -margin, margin, margin);
}

}  // namespace

std::optional<std::pair<QPointF, QPointF>> arrowBarbs(QPointF from, QPointF to) {
    const float len = std::sqrt(float((from.x() - to.x()) * (from.x() - to.x()) + (from.y() - to.y()) * (from.y() - to.y())));
    if (!(len > 0)) return std::nullopt;
    // The length is rounded to single precision, so the sine can land just
    // past 1 (a level arrow 0.7 points long): clamp it, or the angle is NaN.
    const float sine = std::clamp(float(from.x() - to.x()) / len, -1.0f, 1.0f);
    const float a = std::asin(sine);
    // Turns the local +y axis from `from` towards `to`.
    const qreal angle = to.y() > from.y() ? qreal(a) : std::numbers::pi - qreal(a);
    QTransform local;
    local.translate(from.x(), from.y());
    local.rotateRadians(angle);
    return std::pair{local.map(QPointF(10, len - 20)), local.map(QPointF(-10, len - 20))};
}

void ArrowTool::start(QPointF, EditLayers& layers) {
    // A press that is released without a move adds nothing, rather than
    // stamping the previous arrow over itself once more.
    layers.drawing = QImage();
    shown_ = QRectF();
}

QRectF ArrowTool::move(QPointF& anchor, QPointF p, const QColor& colour, EditLayers& layers) {
    layers.drawing = layers.blank();
    if (layers.drawing.isNull()) return {};
    {
        QPainter painter(&layers.drawing);
        draw(painter, anchor, p, colour);
    }
    layers.layer = over(layers.backing, layers.drawing, layers);
    const QRectF now = arrowBounds(anchor, p);
    const QRectF changed = (shown_ | now) & layers.bounds();
    shown_ = now;
    return changed;
}

void ArrowTool::end(EditLayers& layers) {
    if (layers.drawing.isNull()) return;
    layers.layer = over(layers.backing, layers.drawing, layers);
    layers.backing = layers.layer;
}

void ArrowTool::draw(QPainter& painter, QPointF from, QPointF to, const QColor& colour) const {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, kWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    drawSegment(painter, from, to);
    if (const auto barbs = arrowBarbs(from, to)) {
        painter.drawLine(to, barbs->first);
        painter.drawLine(to, barbs->second);
    }
}

}  // namespace brelvo
