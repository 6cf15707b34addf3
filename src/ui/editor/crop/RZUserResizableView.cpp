#include "ui/editor/crop/RZUserResizableView.h"

#include "ui/editor/crop/RZGripViewBorderView.h"

#include <QMouseEvent>

namespace brelvo {

namespace {
constexpr int kContentInset = 10;
constexpr int kBorderInset = 5;
}  // namespace

RZUserResizableView::RZUserResizableView(QWidget* parent)
    : QWidget(parent), borderView_(new RZGripViewBorderView(this)) {
    borderView_->hide();
}

void RZUserResizableView::setContentView(QWidget* view) {
    if (contentView_ == view)
        return;
    delete contentView_;
    contentView_ = view;
    if (view) {
        view->setParent(this);
        view->setGeometry(rect().adjusted(kContentInset, kContentInset, -kContentInset, -kContentInset));
        view->show();
        borderView_->raise();
    }
}

void RZUserResizableView::showEditingHandles() {
    borderView_->show();
}

void RZUserResizableView::hideEditingHandles() {
    borderView_->hide();
}

ResizeLimits RZUserResizableView::limits() const {
    ResizeLimits limits{minWidth_, minHeight_, std::nullopt};
    if (confined_ && parentWidget())
        limits.boundary = QRectF(parentWidget()->contentsRect());
    return limits;
}

void RZUserResizableView::resizeUsingTouchLocation(const QPointF& touchInParent) {
    const ResizeLimits bounds = limits();
    const QPointF touch = confinedTouch(touchInParent, bounds);
    // Resizing goes on from the unrounded frame: touches a fraction of a
    // point apart (at fractional scales) would otherwise each round away.
    const QRectF current = exactFrame_.toRect() == geometry() ? exactFrame_ : QRectF(geometry());
    exactFrame_ = resizedFrame(current, anchorPoint_, touchStart_, touch, bounds);
    setGeometry(exactFrame_.toRect());
    touchStart_ = touch;
}

void RZUserResizableView::translateUsingTouchLocation(const QPointF& touchInView) {
    const QRectF frame(geometry());
    const QPointF centre = translatedCentre(frame, touchInView - touchStart_, limits());
    move((centre - QPointF(frame.width() / 2, frame.height() / 2)).toPoint());
}

void RZUserResizableView::resizeEvent(QResizeEvent*) {
    if (contentView_)
        contentView_->setGeometry(rect().adjusted(kContentInset, kContentInset, -kContentInset, -kContentInset));
    borderView_->setGeometry(rect().adjusted(kBorderInset, kBorderInset, -kBorderInset, -kBorderInset));
    borderView_->update();
}

void RZUserResizableView::mousePressEvent(QMouseEvent* event) {
    if (delegate_)
        delegate_->userResizableViewDidBeginEditing(this);
    showEditingHandles();
    const QPointF touch = event->position();
    anchorPoint_ = anchorPointForTouchLocation(QSizeF(size()), touch);
    touchStart_ = isResizing() ? mapToParent(touch) : touch;
}

void RZUserResizableView::mouseMoveEvent(QMouseEvent* event) {
    if (delegate_)
        delegate_->userResizableViewDidMove(this);
    if (isResizing())
        resizeUsingTouchLocation(mapToParent(event->position()));
    else
        translateUsingTouchLocation(event->position());
}

void RZUserResizableView::mouseReleaseEvent(QMouseEvent*) {
    if (delegate_)
        delegate_->userResizableViewDidEndEditing(this);
    hideEditingHandles();
}

}  // namespace brelvo
