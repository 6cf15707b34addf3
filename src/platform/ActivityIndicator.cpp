#include "platform/ActivityIndicator.h"

#include <QPainter>

namespace brelvo {

namespace {
constexpr int kSpokes = 12;
}

ActivityIndicator::ActivityIndicator(Style style, QWidget* parent)
    : QWidget(parent), style_(style), color_(style == Gray ? QColor(Qt::gray) : QColor(Qt::white)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(sizeHint());
    hide();  // shown only while animating
    timer_.setInterval(1000 / kSpokes);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kSpokes;
        update();
    });
}

QSize ActivityIndicator::sizeHint() const {
    return style_ == LargeWhite ? QSize(37, 37) : QSize(20, 20);
}

void ActivityIndicator::startAnimating() {
    show();
    timer_.start();
}

void ActivityIndicator::stopAnimating() {
    timer_.stop();
    hide();
}

void ActivityIndicator::setColor(const QColor& color) {
    color_ = color;
    update();
}

void ActivityIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = qMin(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    const double inner = side * 0.22, outer = side * 0.48, thickness = side * 0.09;
    for (int i = 0; i < kSpokes; ++i) {
        QColor c = color_;
        c.setAlphaF(0.25 + 0.75 * double((i - step_ + kSpokes) % kSpokes) / (kSpokes - 1));
        painter.setPen(QPen(c, thickness, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -inner), QPointF(0, -outer));
        painter.rotate(360.0 / kSpokes);
    }
}

}  // namespace brelvo
