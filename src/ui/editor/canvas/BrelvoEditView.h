#pragma once

#include "ui/editor/canvas/EditCanvas.h"

#include <QPixmap>
#include <QWidget>

namespace brelvo {

class BrelvoCropView;
class BrelvoTextView;

// The editor's canvas on screen: the picture fitted into the widget, the
// drawing layer of the edit in progress over it, and in crop mode the crop
// frame or the text box over the fitted picture. Mouse presses, moves and releases are the
// tester's touches. GUI thread only.
class BrelvoEditView : public QWidget {
    Q_OBJECT
public:
    explicit BrelvoEditView(QWidget* parent = nullptr);

    // The screenshot: shown, and the bottom entry of the history.
    void setSourceImage(const QImage& image);
    // Mode 0 views; 1 to 5 are the tools (EditMode). Crop mode shows the crop frame.
    void setCurrentEditMode(int mode);
    int currentEditMode() const { return canvas_.currentEditMode(); }
    void setCurrentColor(int index);
    int currentColor() const { return canvas_.currentColor(); }

    // As on the canvas; each repaints what it changed.
    bool applyChanges();
    void discardChanges();
    bool undoChanges();
    bool redoChanges();
    const QImage& getEditedImage() const { return canvas_.getEditedImage(); }

    const EditCanvas& canvas() const { return canvas_; }
    BrelvoCropView* cropView() const { return cropView_; }
    BrelvoTextView* textView() const { return textView_; }
    // Where the fitted picture lies in the widget.
    QRectF pictureRect() const { return canvas_.fittedRect(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void relayout();
    QPointF toLayer(const QPointF& inView) const { return inView - pictureRect().topLeft(); }

    EditCanvas canvas_;
    BrelvoCropView* cropView_;
    BrelvoTextView* textView_;  // over the fitted picture in text mode
    // The shown picture scaled once to the fitted rectangle, so that a
    // stroke's repaint is a copy of a few pixels rather than a rescale.
    QPixmap fittedPicture_;
    qint64 fittedKey_ = 0;
    bool touching_ = false;
};

}  // namespace brelvo
