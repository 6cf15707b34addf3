#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

class QPainter;

namespace brelvo {

// The bitmaps of one edit, all of the fitted picture's size in points at the
// layer ratio (the picture's density); null while nothing is in them.
struct EditLayers {
    QSizeF size;      // the fitted picture rectangle, in points
    qreal ratio = 1;  // pixels per point, at least the screen's
    QImage layer;     // the drawing layer shown over the picture
    QImage backing;   // arrows already released in this edit
    QImage drawing;   // the arrow being dragged

    // The drawing layer, ready to be painted on where it lies: made
    // transparent when there is none yet, stretched once when the fitted
    // size has changed since it was made. Null when no bitmap can be made.
    QImage& layerToPaint();
    // A fresh transparent bitmap of the layers' size.
    QImage blank() const;
    // The layers' own rectangle, in points.
    QRectF bounds() const { return {QPointF(0, 0), size}; }
};

// One drawing tool: a press, moves that paint into the layers, a release.
// The canvas keeps the anchor: the previous point of a stroke, the press
// point of the arrow.
class Tool {
public:
    virtual ~Tool() = default;

    // A press at p.
    virtual void start(QPointF p, EditLayers& layers) = 0;
    // One move to p: paints into the layers and returns the area of the
    // drawing layer that changed, in points (empty when nothing did).
    virtual QRectF move(QPointF& anchor, QPointF p, const QColor& colour, EditLayers& layers) = 0;
    // The release.
    virtual void end(EditLayers& layers) = 0;
    // Paints the tool's mark from `from` to `to` (a stroke segment, an arrow).
    virtual void draw(QPainter& painter, QPointF from, QPointF to, const QColor& colour) const = 0;
};

// A line from `from` to `to` with the painter's pen; a dot of the pen's
// width when the two are the same point, which a line of no length does not
// give.
void drawSegment(QPainter& painter, QPointF from, QPointF to);

}  // namespace brelvo
