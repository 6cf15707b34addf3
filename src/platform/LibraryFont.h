#pragma once

#include <QFont>

class QWidget;

namespace brelvo {

// The library's one typeface. Its screens were drawn for Helvetica metrics,
// so the families asked for are metric-compatible ones (Liberation Sans,
// shipped by the fonts-liberation2 package, then Arimo), then the originals,
// then whatever sans-serif face the system has.
namespace libraryfont {

// The families in the order they are tried.
QStringList families();

// The library's face at a size in pixels (0 keeps the default size).
QFont font(int pixelSize = 0, bool bold = false);

// Gives a top widget of the library (a window, a screen laid over a host
// view) the library's face, for every descendant, whatever a host's style
// sheet names; the style sheets below it change sizes and weights only,
// never the family. Call it after the widget's own style sheet is set: it
// adds to that sheet.
void adopt(QWidget* top);

}  // namespace libraryfont
}  // namespace brelvo
