#pragma once

#include <QColor>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace brelvo {

// The dark bar at the top of the library's full pages: the back chevron at
// the left, the mark beside it, a centred title and, at the right, an
// optional action button. The caller connects the buttons and adds the bar
// to its layout. Every bar of the library (the menu's, the profile's, the
// picker's) has its colour and its title's type.
struct NavBar {
    static constexpr int kHeight = 47;
    static constexpr QColor kColour{51, 51, 51};

    QWidget* bar = nullptr;
    QPushButton* back = nullptr;
    QLabel* sign = nullptr;        // null without the mark
    QLabel* title = nullptr;
    QPushButton* action = nullptr;  // null without an action
};

NavBar makeNavBar(QWidget* parent, const QString& title, const QString& action = {}, bool withSign = true);

// The style sheet of a bar's title: white, bold, 20 pixels.
QString barTitleStyle();

}  // namespace brelvo
