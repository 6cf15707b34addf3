#include "ui/editor/canvas/BrelvoEditView.h"

#include "platform/Screen.h"
#include "ui/editor/crop/BrelvoCropView.h"
#include "ui/editor/text/BrelvoTextView.h"
#include "ui/editor/tools/Bitmap.h"

#include <QMouseEvent>
#include <QPainter>

namespace brelvo {

BrelvoEditView::BrelvoEditView(QWidget* parent)
    : QWidget(parent), canvas_(screen::scale()), cropView_(new BrelvoCropView(this)), textView_(new BrelvoTextView(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    cropView_->hide();
    textView_->hide();
}

void BrelvoEditView::setCurrentColor(int index) {
    canvas_.setCurrentColor(index);
    textView_->setTextColor(canvas_.colour());
}

void BrelvoEditView::setSourceImage(const QImage& image) {
    canvas_.setSourceImage(image);
    relayout();
}

void BrelvoEditView::setCurrentEditMode(int mode) {
    canvas_.setCurrentEditMode(mode);
    touching_ = false;
    cropView_->setVisible(mode == kModeCrop);
    relayout();
    // Shown anew, the text box starts again from its placeholder.
    textView_->setTextColor(canvas_.colour());
    textView_->setVisible(mode == kModeText);
    if (mode == kModeText) textView_->raise();
}

bool BrelvoEditView::applyChanges() {
    if (canvas_.currentEditMode() == kModeCrop) canvas_.setCropRect(cropView_->cropRect());
    if (canvas_.currentEditMode() == kModeText) {
        // The text alone, where it shows over the picture, becomes the drawing layer.
        const qreal dpr = canvas_.layerRatio();
        canvas_.setDrawingLayer(textView_->render(bitmap::pixelSize(pictureRect().size(), dpr), dpr));
    }
    const bool added = canvas_.applyChanges();
    relayout();
    return added;
}

void BrelvoEditView::discardChanges() {
    canvas_.discardChanges();
    touching_ = false;
    update();
}

bool BrelvoEditView::undoChanges() {
    const bool last = canvas_.undoChanges();
    relayout();
    return last;
}

bool BrelvoEditView::redoChanges() {
    const bool last = canvas_.redoChanges();
    relayout();
    return last;
}

// The shown picture may change size with an entry (a crop), so every change
// of the history fits it again.
void BrelvoEditView::relayout() {
    canvas_.setFrame(size());
    cropView_->setPictureGeometry(pictureRect().toRect());
    textView_->setGeometry(pictureRect().toRect());
    update();
}

void BrelvoEditView::resizeEvent(QResizeEvent*) {
    relayout();
}

void BrelvoEditView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), Qt::black);
    const QRectF picture = pictureRect();
    const QImage& shown = canvas_.getEditedImage();
    if (picture.isEmpty() || shown.isNull()) return;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (picture.size() * ratio).toSize();
    if (fittedKey_ != shown.cacheKey() || fittedPicture_.size() != pixels) {
        fittedPicture_ = QPixmap::fromImage(shown.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        fittedPicture_.setDevicePixelRatio(ratio);
        fittedKey_ = shown.cacheKey();
    }
    p.drawPixmap(picture.topLeft(), fittedPicture_);
    const QImage& layer = canvas_.drawingLayer();
    if (layer.isNull()) return;
    // The layer is as dense as the picture, often denser than the screen.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(picture, layer);
}

void BrelvoEditView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    touching_ = true;
    canvas_.touchBegan(toLayer(event->position()));
}

void BrelvoEditView::mouseMoveEvent(QMouseEvent* event) {
    if (!touching_) return;
    const QRectF changed = canvas_.touchMoved(toLayer(event->position()));
    // A pixel more on each side for the antialiased rim.
    if (!changed.isEmpty()) update(changed.translated(pictureRect().topLeft()).toAlignedRect().adjusted(-1, -1, 1, 1));
}

void BrelvoEditView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !touching_) return;
    touching_ = false;
    canvas_.touchEnded();
}

}  // namespace brelvo
