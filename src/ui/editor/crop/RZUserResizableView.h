#pragma once

#include "ui/editor/crop/ResizeAnchor.h"

#include <QPointer>
#include <QWidget>

namespace brelvo {

class RZGripViewBorderView;
class RZUserResizableView;

// Told about a touch on a resizable frame. Each call does nothing unless overridden.
class RZUserResizableViewDelegate {
public:
    virtual ~RZUserResizableViewDelegate() = default;
    virtual void userResizableViewDidBeginEditing(RZUserResizableView*) {}
    // Every move of the touch, before the frame changes.
    virtual void userResizableViewDidMove(RZUserResizableView*) {}
    // The touch ended or was cancelled.
    virtual void userResizableViewDidEndEditing(RZUserResizableView*) {}
};

// A frame around a content view that the user resizes by dragging near one of
// its corners or edge midpoints and moves by dragging near its middle. The
// content is laid out 10 points inside the frame; the handles show while a
// touch is in progress. Unless told otherwise the frame stays inside its
// parent's contents rectangle.
class RZUserResizableView : public QWidget {
public:
    explicit RZUserResizableView(QWidget* parent = nullptr);

    QWidget* contentView() const { return contentView_; }
    // The view becomes a child of this one; the previous content is deleted.
    void setContentView(QWidget* view);
    RZGripViewBorderView* borderView() const { return borderView_; }

    void showEditingHandles();
    void hideEditingHandles();

    RZUserResizableViewAnchorPoint anchorPoint() const { return anchorPoint_; }
    bool isResizing() const { return anchorPoint_.isResizing(); }

    // A drag step: the resize takes the touch in the parent's coordinates, the
    // move in this view's own.
    void resizeUsingTouchLocation(const QPointF& touchInParent);
    void translateUsingTouchLocation(const QPointF& touchInView);

    qreal minWidth() const { return minWidth_; }
    void setMinWidth(qreal width) { minWidth_ = width; }
    qreal minHeight() const { return minHeight_; }
    void setMinHeight(qreal height) { minHeight_ = height; }
    bool preventsPositionOutsideSuperview() const { return confined_; }
    void setPreventsPositionOutsideSuperview(bool confined) { confined_ = confined; }
    // Not owned; it must outlive the view or be cleared first.
    RZUserResizableViewDelegate* delegate() const { return delegate_; }
    void setDelegate(RZUserResizableViewDelegate* delegate) { delegate_ = delegate; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    ResizeLimits limits() const;

    QPointer<QWidget> contentView_;
    RZGripViewBorderView* borderView_;
    QPointF touchStart_;
    // The frame a resize has reached, before rounding to whole points.
    QRectF exactFrame_;
    RZUserResizableViewAnchorPoint anchorPoint_;
    qreal minWidth_ = 48;
    qreal minHeight_ = 48;
    bool confined_ = true;
    RZUserResizableViewDelegate* delegate_ = nullptr;
};

}  // namespace brelvo
