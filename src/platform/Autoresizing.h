#pragma once

class QWidget;

namespace brelvo::autoresizing {

// How a view follows its parent's size, as a bit mask: which of its margins and
// dimensions stretch when the parent grows or shrinks.
enum Flag : int {
    None = 0,
    FlexibleLeftMargin = 1,
    FlexibleWidth = 2,
    FlexibleRightMargin = 4,
    FlexibleTopMargin = 8,
    FlexibleHeight = 16,
    FlexibleBottomMargin = 32,
};

// Every margin and dimension flexible: the view keeps its place relative to the parent.
constexpr int Full = FlexibleLeftMargin | FlexibleWidth | FlexibleRightMargin | FlexibleTopMargin |
                     FlexibleHeight | FlexibleBottomMargin;  // 63
// Only the margins: the view keeps its size and its relative position.
constexpr int Margins = FlexibleLeftMargin | FlexibleRightMargin | FlexibleTopMargin | FlexibleBottomMargin;  // 45

// Gives the view the mask; from then on every resize of its parent moves and
// sizes it: the change in the parent's size is shared among the flexible parts
// in proportion to their current lengths (equally when they are all zero).
void setMask(QWidget* view, int mask);
int mask(const QWidget* view);

}  // namespace brelvo::autoresizing
