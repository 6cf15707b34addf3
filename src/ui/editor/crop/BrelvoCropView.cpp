#include "ui/editor/crop/BrelvoCropView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace brelvo {

namespace {

// A coordinate on a device pixel boundary, so that fills end sharply there.
qreal onPixelEdge(qreal v, qreal dpr) {
    return qRound(v * dpr) / dpr;
}

// Where a line of this width must be centred near v so that both of its sides
// fall on device pixel boundaries: the middle of a pixel for an odd number of
// pixels, a boundary for an even one.
qreal crispLineAt(qreal v, qreal penWidth, qreal dpr) {
    const int pixels = qMax(1, qRound(penWidth * dpr));
    if (pixels % 2 == 0)
        return onPixelEdge(v, dpr);
    return (qFloor(v * dpr) + 0.5) / dpr;
}

const QColor kGridColour = QColor::fromRgbF(0.412f, 0.416f, 0.412f);
const QColor kGripColour = QColor::fromRgbF(0.7686f, 0.7686f, 0.7686f);

}  // namespace

BrelvoCropView::BrelvoCropView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void BrelvoCropView::setPictureGeometry(const QRect& picture) {
    setGeometry(picture.adjusted(-kGripMargin, -kGripMargin, kGripMargin, kGripMargin));
}

QRect BrelvoCropView::pictureGeometry() const {
    return geometry().adjusted(kGripMargin, kGripMargin, -kGripMargin, -kGripMargin);
}

QPointF BrelvoCropView::toPicture(const QPointF& inView) const {
    return inView - QPointF(kGripMargin, kGripMargin);
}

void BrelvoCropView::setCropRect(const QRectF& rect) {
    geometry_.setCropRect(rect);
    update();
}

void BrelvoCropView::setVisible(bool visible) {
    if (visible) {
        geometry_.setFrameSize(pictureGeometry().size());
        geometry_.centre();
    }
    QWidget::setVisible(visible);
    update();
}

void BrelvoCropView::resizeEvent(QResizeEvent*) {
    geometry_.setFrameSize(pictureGeometry().size());
    update();
}

void BrelvoCropView::paintEvent(QPaintEvent*) {
    const qreal dpr = devicePixelRatioF();
    const QPointF origin(kGripMargin, kGripMargin);
    const QRectF r = geometry_.cropRect().translated(origin);
    const QRectF crop(QPointF(onPixelEdge(r.left(), dpr), onPixelEdge(r.top(), dpr)),
                      QPointF(onPixelEdge(r.right(), dpr), onPixelEdge(r.bottom(), dpr)));
    QPainter p(this);

    // Dim the picture but the crop rectangle. The rectangle is left out of the
    // fill rather than cleared afterwards: clearing would wipe the picture the
    // parent drew beneath in the same backing store.
    QPainterPath dimmed;
    dimmed.setFillRule(Qt::OddEvenFill);
    dimmed.addRect(QRectF(origin, geometry_.frameSize()));
    dimmed.addRect(crop);
    p.fillPath(dimmed, QColor::fromRgbF(0, 0, 0, 0.8f));

    // The grid, faint while a touch is dragging.
    p.setOpacity(currentMode() == CropGeometry::Idle ? 1.0 : 0.5);
    p.setPen(QPen(kGridColour, 1, Qt::SolidLine, Qt::FlatCap));
    for (int k = 1; k <= 2; ++k) {
        const qreal y = crispLineAt(crop.top() + crop.height() * k / 3, 1, dpr);
        const qreal x = crispLineAt(crop.left() + crop.width() * k / 3, 1, dpr);
        p.drawLine(QPointF(crop.left(), y), QPointF(crop.right(), y));
        p.drawLine(QPointF(x, crop.top()), QPointF(x, crop.bottom()));
    }

    p.setOpacity(1.0);
    p.setPen(QPen(kGridColour, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(crop);

    // Each grip: a ring stroked first, then the disc filled over its inner
    // half, which leaves a thin dark rim around a light grip.
    p.setRenderHint(QPainter::Antialiasing);
    for (const QPointF& centre : geometry_.gripCentres()) {
        p.setPen(QPen(kGridColour, 3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre + origin, CropGeometry::kGripRadius, CropGeometry::kGripRadius);
        p.setPen(Qt::NoPen);
        p.setBrush(kGripColour);
        p.drawEllipse(centre + origin, CropGeometry::kGripRadius, CropGeometry::kGripRadius);
    }
}

void BrelvoCropView::mousePressEvent(QMouseEvent* event) {
    geometry_.touchBegan(toPicture(event->position()));
    update();
}

void BrelvoCropView::mouseMoveEvent(QMouseEvent* event) {
    geometry_.touchMoved(toPicture(event->position()));
    update();
}

void BrelvoCropView::mouseReleaseEvent(QMouseEvent*) {
    geometry_.touchEnded();
    update();
}

}  // namespace brelvo
