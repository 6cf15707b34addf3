#pragma once

#include <array>

namespace brelvo {

// Where each built-in icon lies in the atlas, in atlas points (x, y, width,
// height). The atlas painter and the library's lookup both read this table.
struct AtlasSlot {
    const char* key;
    int x, y, w, h;
};

// The atlas's size in points.
inline constexpr int kAtlasWidth = 1170;
inline constexpr int kAtlasHeight = 255;

inline constexpr std::array<AtlasSlot, 27> kAtlasSlots{{
    {"icon_marker", 1121, 157, 47, 45},
    {"icon_crop", 1075, 205, 45, 45},
    {"offline", 698, 225, 63, 20},
    {"autorisation_logo", 255, 2, 250, 250},
    {"icon_pencil", 1028, 205, 45, 45},
    {"logo", 698, 2, 236, 39},
    {"bv_button", 936, 2, 108, 107},
    {"cash_data", 844, 205, 53, 44},
    {"redo_act", 899, 220, 25, 25},
    {"button_edit_for_summaru_textField", 1028, 157, 91, 46},
    {"undo_act", 763, 225, 25, 25},
    {"bv_button_loading", 808, 43, 108, 107},
    {"redo", 926, 220, 25, 25},
    {"back", 953, 220, 25, 25},
    {"icon_arrow", 1122, 204, 45, 45},
    {"sign", 844, 152, 61, 51},
    {"save", 817, 225, 25, 25},
    {"undo", 790, 225, 25, 25},
    {"screenshot_button_unactive", 1046, 2, 108, 107},
    {"refresh", 698, 152, 71, 71},
    {"screenshot_button", 918, 111, 108, 107},
    {"edit_screenshot_btn@2x~ipad", 771, 152, 71, 71},
    {"connection_error", 2, 2, 251, 251},
    {"icon_text", 1124, 111, 37, 43},
    {"error_img@2x", 507, 2, 189, 251},
    {"bv_button_unactive", 698, 43, 108, 107},
    {"send_issue", 1028, 111, 94, 44},
}};

}  // namespace brelvo
