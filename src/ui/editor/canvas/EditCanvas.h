#pragma once

#include "ui/editor/canvas/BrelvoViewStack.h"
#include "ui/editor/tools/EditTools.h"

#include <QColor>
#include <QImage>
#include <QRectF>

#include <array>

namespace brelvo {

// The screenshot editor's canvas without its widget: the picture fitted into
// the canvas's bounds, the drawing layer of the edit in progress over it, the
// tools that draw there, and the edit history as two stacks of whole images.
// The picture shown is every entry of the undo stack painted over the one
// below it. Points given to the drawing operations are in the drawing
// layer's coordinates: the fitted rectangle's, origin at its corner.
// GUI thread only, like the widget that holds it.
class EditCanvas {
public:
    // The undo history is kept under this many bytes of pixels by folding
    // its oldest steps into the picture below them.
    static constexpr qint64 kHistoryBudget = qint64(64) << 20;
    // A drawing layer holds at most this many pixels (64 MB).
    static constexpr qint64 kMaxLayerPixels = qint64(4096) * 4096;

    // The screen's device pixel ratio: drawing layers are made at least at it.
    explicit EditCanvas(qreal devicePixelRatio = 1.0);

    // The screenshot: shown, and the bottom entry of the history.
    void setSourceImage(const QImage& image);
    const QImage& sourceImage() const { return source_; }
    // The canvas's size in points; the picture is fitted into it again.
    void setFrame(const QSizeF& bounds);
    QSizeF bounds() const { return bounds_; }
    // Where the fitted picture lies in the canvas, in whole points: the frame
    // of the drawing layer, the crop frame and the text box.
    QRectF fittedRect() const { return fitted_; }
    // The picture's scale into the bounds (0 without a picture or bounds).
    float fitScale() const;
    static float fitScale(const QSizeF& image, const QSizeF& bounds);
    static QRectF fitRect(const QSizeF& image, const QSizeF& bounds);

    // Mode 0 views, 1 to 5 are pencil, marker, text, crop and arrow
    // (EditMode). A change of tool ends the stroke in progress.
    void setCurrentEditMode(int mode);
    int currentEditMode() const { return mode_; }
    void setCurrentColor(int index) { colourIndex_ = index; }
    int currentColor() const { return colourIndex_; }
    // The current colour; red for an index out of range.
    QColor colour() const;
    // Red, orange, yellow, green, black.
    static const std::array<QColor, 5>& colorsArray();

    // Touches, in the drawing layer's coordinates. A move returns the area
    // of the drawing layer it changed, to be repainted.
    void touchBegan(QPointF p);
    QRectF touchMoved(QPointF p);
    void touchEnded();

    // One step of each tool from the last point to p; the changed area.
    QRectF drawByPencil(QPointF p) { return step(tools_.pencil, p); }
    QRectF drawByMarker(QPointF p) { return step(tools_.marker, p); }
    QRectF drawByArrow(QPointF p) { return step(tools_.arrow, p); }

    // The crop frame's rectangle, in the fitted picture's coordinates;
    // applied in crop mode.
    void setCropRect(const QRectF& rect) { cropRect_ = rect; }
    QRectF cropRect() const { return cropRect_; }
    // Makes the drawing layer the part of the shown picture under `rect` at
    // the picture's full resolution. False, and nothing changes, when the
    // rectangle covers less than a pixel.
    bool cropImage(const QRectF& rect);

    // The drawing layer; the text box's rendering is put there before apply.
    // Paint it from this reference: a copy kept elsewhere would make the
    // next move copy the whole layer before drawing into it.
    const QImage& drawingLayer() const { return layers_.layer; }
    void setDrawingLayer(const QImage& image) { layers_.layer = image; }
    // The drawing layer's pixel ratio: the picture's density in the fitted
    // rectangle, at least the screen's.
    qreal layerRatio() const { return layers_.ratio; }
    static qreal layerRatio(const QSize& picture, const QSizeF& fitted, qreal screenRatio);
    const QImage& backingImage() const { return layers_.backing; }
    const QImage& drawingImage() const { return layers_.drawing; }
    QPointF lastPoint() const { return lastPoint_; }

    // Makes the edit in progress (in crop mode: the crop) a history entry
    // and clears the redo history; false, and nothing changes, when the
    // edit holds nothing.
    bool applyChanges();
    // Drops the edit in progress.
    void discardChanges();
    // Moves the top entry to the redo history; true when fewer than two
    // entries are left, so nothing more can be undone. The screenshot itself
    // is never undone.
    bool undoChanges();
    // Moves an entry back; true when the redo history is then empty.
    bool redoChanges();

    // The picture shown: the merged history.
    const QImage& getEditedImage() const { return shown_; }
    void redrawSourceImageView();

    const BrelvoViewStack& undoStack() const { return undo_; }
    const BrelvoViewStack& redoStack() const { return redo_; }
    // The pixel bytes held by the history, each shared image once.
    qint64 historyBytes() const { return brelvo::historyBytes(undo_, redo_); }
    void setHistoryBudget(qint64 bytes) { budget_ = bytes; }

private:
    QRectF step(Tool& tool, QPointF p);
    void layout();

    qreal ratio_;
    QImage source_;
    QImage shown_;
    QSizeF bounds_;
    QRectF fitted_;
    int mode_ = kModeNone;
    int colourIndex_ = 0;
    bool stroking_ = false;
    QPointF lastPoint_;
    QRectF cropRect_;
    EditTools tools_;
    EditLayers layers_;
    BrelvoViewStack undo_;
    BrelvoViewStack redo_;
    qint64 budget_ = kHistoryBudget;
};

}  // namespace brelvo
