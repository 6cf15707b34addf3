#pragma once

#include "ui/editor/tools/Tool.h"

#include <QPainter>

namespace brelvo {

// How a free-hand tool lays its ink.
struct StrokeSettings {
    qreal width;
    qreal alpha;
    QPainter::CompositionMode blend;
};

// Pencil: thin, opaque, over what is there.
inline constexpr StrokeSettings kPencil{3.0, 1.0, QPainter::CompositionMode_SourceOver};
// Marker: broad and translucent; destination-atop keeps one coat where the
// stroke crosses earlier marker ink instead of darkening it.
inline constexpr StrokeSettings kMarker{30.0, 0.6, QPainter::CompositionMode_DestinationAtop};

// A free-hand stroke: each move paints one segment, from the anchor to the
// new point, straight into the drawing layer, so a move costs the segment's
// area and not the layer's.
class StrokeTool : public Tool {
public:
    explicit StrokeTool(const StrokeSettings& settings) : settings_(settings) {}

    void start(QPointF, EditLayers&) override {}
    QRectF move(QPointF& anchor, QPointF p, const QColor& colour, EditLayers& layers) override;
    void end(EditLayers&) override {}
    void draw(QPainter& painter, QPointF from, QPointF to, const QColor& colour) const override;

    const StrokeSettings& settings() const { return settings_; }

private:
    StrokeSettings settings_;
};

}  // namespace brelvo
