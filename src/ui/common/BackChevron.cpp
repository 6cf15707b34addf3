#include "ui/common/BackChevron.h"

#include <QPainter>
#include <QLabel>
#include <QPainterPath>
#include <QPushButton>

namespace brelvo {

QImage backChevronImage(qreal scale, ChevronWeight weight) {
    QImage image(QSize(40, 30) * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const bool bold = weight == ChevronWeight::Bold;
    p.setPen(QPen(Qt::white, bold ? 6 : 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath path;
    if (bold) {
        path.moveTo(34, 4);
        path.lineTo(8, 15);
        path.lineTo(34, 26);
    } else {
        path.moveTo(19, 6);
        path.lineTo(10, 15);
        path.lineTo(19, 24);
    }
    p.drawPath(path);
    return image;
}

QPushButton* barBackButton(QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { background: transparent; border: none; }"));
    button->resize(60, 30);
    auto* arrow = new QLabel(button);
    arrow->setAttribute(Qt::WA_TransparentForMouseEvents);
    arrow->setGeometry(3, 3, 15, 26);
    arrow->setScaledContents(true);
    // Drawn bold: the label squeezes the 40 × 30 image into 15 × 26 points.
    arrow->setPixmap(QPixmap::fromImage(backChevronImage(parent->devicePixelRatioF(), ChevronWeight::Bold)));
    return button;
}

}  // namespace brelvo
