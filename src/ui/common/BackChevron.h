#pragma once

#include <QImage>

class QPushButton;
class QWidget;

namespace brelvo {

// The white chevron pointing left that back buttons show, drawn into a
// 40 × 30 point image at the given scale (device pixel ratio), on a
// transparent ground.
//
// Regular: a 3-point line in the left half, for a button that shows the image
// at its own size. Bold: a 6-point line across the whole image, for a button
// that squeezes it into a narrow 15 × 26 points.
enum class ChevronWeight { Regular, Bold };

QImage backChevronImage(qreal scale, ChevronWeight weight);

// The back button of a screen's top bar: a transparent 60 × 30 touch area
// with the bold chevron squeezed into 15 × 26 points at its left, drawn at the
// parent's scale. The caller places it and connects it.
QPushButton* barBackButton(QWidget* parent);

}  // namespace brelvo
