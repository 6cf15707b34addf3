#include "ui/common/PictureView.h"

#include <QPainter>
#include <QPainterPath>

namespace brelvo {

PictureView::PictureView(QWidget* parent, bool round) : QWidget(parent), round_(round) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setStyleSheet(QStringLiteral("background: transparent;"));
}

void PictureView::setImage(const QImage& image) {
    image_ = image;
    source_ = nullptr;
    update();
}

void PictureView::setImageSource(std::function<QImage()> source) {
    image_ = QImage();
    source_ = std::move(source);
    update();
}

void PictureView::setPlaceholder(const QImage& placeholder) {
    placeholder_ = placeholder;
    update();
}

const QImage& PictureView::image() const {
    if (source_) {
        image_ = source_();
        source_ = nullptr;
    }
    return image_;
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (round_) {
        QPainterPath disc;
        disc.addEllipse(QRectF(rect()));
        p.setClipPath(disc);
        if (image().isNull() && placeholder_.isNull()) p.fillPath(disc, QColor(214, 214, 220));
    }
    const QImage& shown = image().isNull() ? placeholder_ : image_;
    if (shown.isNull()) return;
    QSizeF size = QSizeF(shown.size()) / shown.devicePixelRatio();
    // A round picture fills its disc; any other fits inside its rectangle.
    size.scale(QSizeF(this->size()), round_ ? Qt::KeepAspectRatioByExpanding : Qt::KeepAspectRatio);
    QRectF target(QPointF(0, 0), size);
    target.moveCenter(QRectF(rect()).center());
    p.drawImage(target, shown);
}

}  // namespace brelvo
