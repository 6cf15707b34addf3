#include "ui/editor/crop/RZGripViewBorderView.h"

#include <QLinearGradient>
#include <QPainter>

#include <array>

namespace brelvo {

RZGripViewBorderView::RZGripViewBorderView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
}

void RZGripViewBorderView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRectF frame = QRectF(rect()).adjusted(kInset, kInset, -kInset, -kInset);
    p.setPen(QPen(QColor(0, 0, 255), 1));
    // Half a point in, so that the 1-point line covers whole pixels.
    p.drawRect(frame.adjusted(0.5, 0.5, -0.5, -0.5));

    p.setRenderHint(QPainter::Antialiasing);
    const qreal r = kGripSize / 2;
    const std::array<QPointF, 8> centres{
        frame.topLeft(),     frame.topRight(),    frame.bottomRight(), frame.bottomLeft(),
        QPointF(frame.center().x(), frame.top()), QPointF(frame.center().x(), frame.bottom()),
        QPointF(frame.left(), frame.center().y()), QPointF(frame.right(), frame.center().y()),
    };
    for (const QPointF& c : centres) {
        const QRectF grip(c.x() - r, c.y() - r, kGripSize, kGripSize);
        QLinearGradient gradient(grip.topLeft(), grip.bottomLeft());
        gradient.setColorAt(0, QColor::fromRgbF(0.4f, 0.8f, 1.0f));
        gradient.setColorAt(1, QColor::fromRgbF(0, 0, 1.0f));
        p.setPen(Qt::NoPen);
        p.setBrush(gradient);
        p.drawEllipse(grip);
        // The white rim with a small soft shadow below and to the right of it.
        p.setBrush(Qt::NoBrush);
        const QRectF rim = grip.adjusted(1, 1, -1, -1);
        p.setPen(QPen(QColor(0, 0, 0, 90), 1.5));
        p.drawEllipse(rim.translated(0.5, 0.5));
        p.setPen(QPen(Qt::white, 1));
        p.drawEllipse(rim);
    }
}

}  // namespace brelvo
