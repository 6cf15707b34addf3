#include "ui/editor/tools/Bitmap.h"
#include "ui/editor/tools/Tool.h"

#include <QPainter>

namespace brelvo {

QImage EditLayers::blank() const { return bitmap::blank(size, ratio); }

QImage& EditLayers::layerToPaint() {
    if (layer.isNull()) {
        layer = blank();
    } else if (layer.size() != bitmap::pixelSize(size, ratio) || layer.devicePixelRatio() != ratio) {
        // The picture was laid out again mid-edit: what is drawn follows it.
        QImage stretched = blank();
        if (!stretched.isNull()) {
            QPainter painter(&stretched);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(bounds(), layer);
        }
        layer = stretched;
    }
    return layer;
}

void drawSegment(QPainter& painter, QPointF from, QPointF to) {
    if (from == to)
        painter.drawPoint(from);
    else
        painter.drawLine(from, to);
}

}  // namespace brelvo
