#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace brelvo {

// The dark bar at the top of the library's full pages: the back chevron at
// the left, the mark beside it, a centred title and, at the right, an
// optional action button. The caller connects the buttons and adds the bar
// to its layout.
struct NavBar {
    static constexpr int kHeight = 47;

    QWidget* bar = nullptr;
    QPushButton* back = nullptr;
    QLabel* sign = nullptr;        // null without the mark
    QLabel* title = nullptr;
    QPushButton* action = nullptr;  // null without an action
};

NavBar makeNavBar(QWidget* parent, const QString& title, const QString& action = {}, bool withSign = true);

}  // namespace brelvo
