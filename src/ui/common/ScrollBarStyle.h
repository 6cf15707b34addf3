#pragma once

#include <QString>

namespace brelvo {

// Thin scroll bars without arrows, as the library's pages show them: a style
// sheet for a screen whose scroll areas should use them.
inline QString thinScrollBarsStyle() {
    return QStringLiteral(
        "QScrollBar:vertical { width: 6px; background: transparent; margin: 2px 0; }"
        "QScrollBar:horizontal { height: 6px; background: transparent; margin: 0 2px; }"
        "QScrollBar::handle { background: rgba(0, 0, 0, 70); border-radius: 3px; min-height: 24px; min-width: 24px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }");
}

}  // namespace brelvo
