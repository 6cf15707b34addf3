#include "ui/editor/tools/StrokeTool.h"

namespace brelvo {

QRectF StrokeTool::move(QPointF& anchor, QPointF p, const QColor& colour, EditLayers& layers) {
    const QPointF from = anchor;
    anchor = p;
    QImage& layer = layers.layerToPaint();
    if (layer.isNull()) return {};
    {
        QPainter painter(&layer);
        draw(painter, from, p, colour);
    }
    // Half the width for the round cap, and a pixel more for the antialiased rim.
    const qreal margin = settings_.width / 2 + 1;
    return QRectF(from, p).normalized().adjusted(-margin, -margin, margin, margin) & layers.bounds();
}

void StrokeTool::draw(QPainter& painter, QPointF from, QPointF to, const QColor& colour) const {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(settings_.alpha);
    painter.setCompositionMode(settings_.blend);
    painter.setPen(QPen(colour, settings_.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    drawSegment(painter, from, to);
}

}  // namespace brelvo
