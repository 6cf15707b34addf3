#pragma once

class QWidget;

namespace brelvo::tags {

// Views are found again by a number, kept as the "tag" property of the widget.
void setTag(QWidget* view, int tag);
int tag(const QWidget* view);  // 0 when none was set

// The view itself when it has the tag, else the first descendant that has it
// (depth first, children in stacking order); nullptr when none.
QWidget* viewWithTag(QWidget* root, int tag);

}  // namespace brelvo::tags
