#pragma once

#include <QPointer>
#include <QSize>

class QWidget;

namespace brelvo::screen {

// "The screen" is the host's main window: everything the library shows lives
// inside it, as layers stacked above the host's own widgets. It is the first
// visible top-level widget unless the host names one.
QWidget* window();
void setWindow(QWidget* window);

QSize bounds();   // the screen window's size in points; empty when there is none
qreal scale();    // its device pixel ratio

// Device orientation, numbered like the handheld devices it stands for:
// 1 portrait, 2 upside down, 3 landscape left, 4 landscape right.
int orientation();

// Phones and tablets have different sizes in several screens. A desktop or
// handheld Linux device uses the phone layout unless the host asks for the
// tablet one ("brelvo_idiom" = "tablet" as application property or BRELVO_IDIOM).
bool isTablet();

}  // namespace brelvo::screen
