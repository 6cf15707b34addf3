#pragma once

#include "ui/editor/tools/ArrowTool.h"
#include "ui/editor/tools/StrokeTool.h"

namespace brelvo {

// The canvas's edit modes: the editor's tool buttons set button index + 1.
enum EditMode : int { kModeNone = 0, kModePencil = 1, kModeMarker = 2, kModeText = 3, kModeCrop = 4, kModeArrow = 5 };

// The drawing tools of one canvas, and which one a mode draws with.
class EditTools {
public:
    // The tool that draws in this mode; none for viewing, text and crop,
    // whose touches go to the text box and the crop frame.
    Tool* forMode(int mode) {
        switch (mode) {
        case kModePencil: return &pencil;
        case kModeMarker: return &marker;
        case kModeArrow: return &arrow;
        default: return nullptr;
        }
    }

    StrokeTool pencil{kPencil};
    StrokeTool marker{kMarker};
    ArrowTool arrow;
};

}  // namespace brelvo
