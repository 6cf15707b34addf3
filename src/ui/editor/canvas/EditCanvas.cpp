#include "ui/editor/canvas/EditCanvas.h"

#include "ui/editor/tools/Bitmap.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace brelvo {

EditCanvas::EditCanvas(qreal devicePixelRatio) : ratio_(devicePixelRatio > 0 ? devicePixelRatio : 1.0) {
    layers_.ratio = ratio_;
}

const std::array<QColor, 5>& EditCanvas::colorsArray() {
    static const std::array<QColor, 5> colours{QColor::fromRgbF(1, 0, 0), QColor::fromRgbF(1, 0.5, 0),
                                               QColor::fromRgbF(1, 1, 0), QColor::fromRgbF(0, 1, 0),
                                               QColor::fromRgbF(0, 0, 0)};
    return colours;
}

QColor EditCanvas::colour() const {
    return colourIndex_ >= 0 && colourIndex_ < int(colorsArray().size()) ? colorsArray()[colourIndex_] : colorsArray()[0];
}

void EditCanvas::setSourceImage(const QImage& image) {
    source_ = image;
    shown_ = image;
    undo_.pushView(image);
    layout();
}

void EditCanvas::setFrame(const QSizeF& bounds) {
    bounds_ = bounds;
    layout();
}

// In single precision, as the layout has always been computed.
float EditCanvas::fitScale(const QSizeF& image, const QSizeF& bounds) {
    if (image.isEmpty() || bounds.isEmpty()) return 0;
    return std::min(float(bounds.width()) / float(image.width()), float(bounds.height()) / float(image.height()));
}

float EditCanvas::fitScale() const { return fitScale(bitmap::pointSize(shown_), bounds_); }

QRectF EditCanvas::fitRect(const QSizeF& image, const QSizeF& bounds) {
    const float s = fitScale(image, bounds);
    if (!(s > 0)) return {};
    const float w = float(image.width()) * s;
    const float h = float(image.height()) * s;
    // std::round takes halves away from zero.
    const float x = std::round((float(bounds.width()) - w) * 0.5f);
    const float y = std::round((float(bounds.height()) - h) * 0.5f);
    return {x, y, std::round(w), std::round(h)};
}

void EditCanvas::layout() {
    fitted_ = fitRect(bitmap::pointSize(shown_), bounds_);
    layers_.size = fitted_.size();
    layers_.ratio = layerRatio(shown_.size(), fitted_.size(), ratio_);
}

qreal EditCanvas::layerRatio(const QSize& picture, const QSizeF& fitted, qreal screenRatio) {
    if (fitted.isEmpty() || picture.isEmpty()) return screenRatio;
    // As dense as the picture under it, so the merge of an applied layer
    // keeps the picture's pixels instead of shrinking it to the screen's.
    const qreal dense = std::max(picture.width() / fitted.width(), picture.height() / fitted.height());
    // Within kMaxLayerPixels: a huge picture is saved at that density.
    const qreal bounded = std::sqrt(double(kMaxLayerPixels) / (fitted.width() * fitted.height()));
    return std::max(screenRatio, std::min(dense, bounded));
}

void EditCanvas::setCurrentEditMode(int mode) {
    mode_ = mode;
    stroking_ = false;
}

void EditCanvas::touchBegan(QPointF p) {
    if (mode_ == kModeNone) return;
    lastPoint_ = p;
    stroking_ = true;
    if (Tool* tool = tools_.forMode(mode_)) tool->start(p, layers_);
}

QRectF EditCanvas::touchMoved(QPointF p) {
    Tool* tool = stroking_ ? tools_.forMode(mode_) : nullptr;
    return tool ? step(*tool, p) : QRectF();
}

void EditCanvas::touchEnded() {
    if (!stroking_) return;
    stroking_ = false;
    if (Tool* tool = tools_.forMode(mode_)) tool->end(layers_);
}

QRectF EditCanvas::step(Tool& tool, QPointF p) {
    // Without a fitted picture there is no layer to draw on.
    if (layers_.size.isEmpty()) return {};
    return tool.move(lastPoint_, p, colour(), layers_);
}

bool EditCanvas::cropImage(const QRectF& rect) {
    const float s = fitScale();
    if (!(s > 0)) return false;
    const qreal k = 1.0f / s;
    const QSizeF points(rect.width() * k, rect.height() * k);
    // At the picture's own pixel ratio, so the crop keeps its pixels one to one.
    const qreal ratio = shown_.devicePixelRatio();
    if (bitmap::pixelSize(points, ratio).isEmpty()) return false;
    QImage cropped = bitmap::blank(points, ratio);
    if (cropped.isNull()) return false;
    {
        QPainter painter(&cropped);
        painter.drawImage(QPointF(-rect.x() * k, -rect.y() * k), shown_);
    }
    layers_.layer = cropped;
    return true;
}

bool EditCanvas::applyChanges() {
    if (mode_ == kModeCrop) cropImage(cropRect_);
    if (layers_.layer.isNull()) return false;
    undo_.pushView(layers_.layer);
    discardChanges();
    redrawSourceImageView();
    redo_.clearStack();
    // Past the budget the oldest steps are folded into the picture below
    // them; the newest step stays undoable.
    while (historyBytes() > budget_ && undo_.count() > 2) {
        const int before = undo_.count();
        undo_.mergeBottomTwo();
        if (undo_.count() == before) break;
    }
    return true;
}

void EditCanvas::discardChanges() {
    layers_.layer = QImage();
    layers_.backing = QImage();
    layers_.drawing = QImage();
    stroking_ = false;
}

bool EditCanvas::undoChanges() {
    if (undo_.count() < 2) return true;
    redo_.pushView(undo_.popView());
    redrawSourceImageView();
    return undo_.count() < 2;
}

bool EditCanvas::redoChanges() {
    if (redo_.isEmpty()) return true;
    undo_.pushView(redo_.popView());
    redrawSourceImageView();
    return redo_.isEmpty();
}

void EditCanvas::redrawSourceImageView() {
    if (undo_.isEmpty()) return;
    const QImage merged = undo_.mergeImages();
    if (merged.isNull() && !undo_.top()->view().isNull()) return;  // no memory for it: keep what is shown
    shown_ = merged;
    layout();
}

}  // namespace brelvo
