#pragma once

#include <QWidget>

namespace brelvo {

// The editing handles of a resizable frame: a thin blue rectangle inset 5
// from its own bounds and eight small round grips on that rectangle's
// corners and edge midpoints. It only paints; touches pass through it.
class RZGripViewBorderView : public QWidget {
public:
    static constexpr qreal kInset = 5;
    static constexpr qreal kGripSize = 10;

    explicit RZGripViewBorderView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace brelvo
