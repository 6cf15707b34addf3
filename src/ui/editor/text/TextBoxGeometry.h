#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

namespace brelvo {

// Where the text box's field sits and how it is turned and scaled, on plain
// values. The field is laid out at a frame that only changes size (it is
// sized to fit its text); the placement moves, turns and scales it about the
// frame's centre. The maths runs in single precision where the box always
// did, so that a touch lands the handle on the same point it always did.
struct TextPlacement {
    double x = 0;       // translation from the laid-out position
    double y = 0;
    double width = 1;   // scale factors, equal after any handle drag
    double height = 1;
    double angle = 0;   // radians
};

// Radius of the turning handle, drawn and touched.
constexpr float kTextHandleRadius = 15;

// (px, py) turned by angle about (cx, cy), with the sine, cosine and the
// turned offsets rounded to single precision.
QPointF rotate_point(double cx, double cy, double angle, double px, double py);

// The centre the maths turns and scales about: the frame's centre moved by
// the placement's translation.
QPointF textBoxCentre(const QRectF& frame, const TextPlacement& placement);

// The handle's centre: the field's lower right corner, scaled and turned
// about the box centre.
QPointF textHandleCentre(const QRectF& frame, const TextPlacement& placement);

// Whether a touch takes the handle: closer than its radius to its centre.
bool touchesTextHandle(QPointF touch, QPointF handle);

// The angle that puts the handle in the direction of p from the centre:
// that direction less the direction of the corner of a field of this size.
// A field without width or height gives a finite angle.
double textAngleTowards(QPointF centre, QPointF p, const QSizeF& bounds);

// The scale that puts the handle at p's distance from the centre: that
// distance over the half diagonal of the field. A field of no size keeps
// the scale it had.
double textScaleTowards(QPointF centre, QPointF p, const QSizeF& bounds, double previous);

// From the field's own coordinates (origin at its top left corner, of the
// frame's size) to the box's: scale, then turn, then translate, about the
// frame's centre.
QTransform textFieldTransform(const QRectF& frame, const TextPlacement& placement);

// The state of one text box and the rules of its touches, without a widget:
// a touch on the handle turns and scales, a touch on the text moves it, and
// a touch on the text that never moved asks for typing.
class TextBoxGeometry {
public:
    enum Mode { Idle = 0, Moving = 1, Turning = 2 };

    QRectF frame() const { return frame_; }
    // The field's laid-out frame; sizing to fit keeps its top left corner.
    void setFrame(const QRectF& frame) { frame_ = frame; }
    void setFieldSize(const QSizeF& size) { frame_.setSize(size); }

    const TextPlacement& placement() const { return placement_; }
    void setPlacement(const TextPlacement& placement) { placement_ = placement; }

    Mode mode() const { return mode_; }
    QPointF startPoint() const { return start_; }
    QPointF handleCentre() const { return textHandleCentre(frame_, placement_); }
    QTransform transform() const { return textFieldTransform(frame_, placement_); }
    // Whether a point of the box lies on the (turned and scaled) field.
    bool fieldContains(QPointF point) const;

    void touchBegan(QPointF point);
    void touchMoved(QPointF point);
    // True when the touch was a tap on the text: typing starts.
    bool touchEnded();

    // The drags to p from the previous touch point.
    void moveTextView(QPointF p);
    void scaleTextRect(QPointF p);

private:
    QRectF frame_;
    TextPlacement placement_;
    QPointF start_;
    Mode mode_ = Idle;
    bool enterEdit_ = false;
};

}  // namespace brelvo
