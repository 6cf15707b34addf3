#pragma once

#include "ui/editor/tools/Tool.h"

#include <optional>
#include <utility>

namespace brelvo {

// The ends of the arrow head's two barbs for an arrow from `from` to `to`:
// each 20 points back along the shaft from the tip and 10 to the side. None
// for an arrow of no length, which has no direction to point in.
std::optional<std::pair<QPointF, QPointF>> arrowBarbs(QPointF from, QPointF to);

// A straight arrow from the press point to the finger. Every move draws the
// whole arrow afresh over the arrows released before it in this edit; the
// release keeps it.
class ArrowTool : public Tool {
public:
    void start(QPointF p, EditLayers& layers) override;
    QRectF move(QPointF& anchor, QPointF p, const QColor& colour, EditLayers& layers) override;
    void end(EditLayers& layers) override;
    void draw(QPainter& painter, QPointF from, QPointF to, const QColor& colour) const override;

private:
    QRectF shown_;  // where the arrow being dragged was last drawn
};

}  // namespace brelvo
