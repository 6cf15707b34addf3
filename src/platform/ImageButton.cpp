#include "platform/ImageButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace brelvo {

namespace {
// How far a press may wander and still be a tap.
constexpr qreal kTapSlop = 6.0;
}

ImageButton::ImageButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void ImageButton::setImage(const QImage& image) {
    image_ = image;
    update();
}

QSize ImageButton::sizeHint() const {
    return image_.isNull() ? QSize(44, 44) : image_.size() / image_.devicePixelRatio();
}

void ImageButton::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (isDown()) painter.setOpacity(0.6);
    if (!isEnabled()) painter.setOpacity(0.8);
    painter.drawImage(rect(), image_);
}

void ImageButton::mousePressEvent(QMouseEvent* event) {
    pressedAt_ = event->position();
    dragging_ = false;
    QAbstractButton::mousePressEvent(event);
}

void ImageButton::mouseMoveEvent(QMouseEvent* event) {
    if (draggable_ && (event->buttons() & Qt::LeftButton)) {
        if (!dragging_ && (event->position() - pressedAt_).manhattanLength() > kTapSlop) {
            dragging_ = true;
            setDown(false);
        }
        if (dragging_) {
            emit dragged(event->position());
            return;
        }
    }
    QAbstractButton::mouseMoveEvent(event);
}

void ImageButton::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_) {
        dragging_ = false;
        setDown(false);
        event->accept();
        return;  // a drag is not a click
    }
    QAbstractButton::mouseReleaseEvent(event);
}

}  // namespace brelvo
