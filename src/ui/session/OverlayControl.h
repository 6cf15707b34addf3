#pragma once

namespace brelvo {
class BrelvoWindow;
}

// The overlay window and the menu as the library's screens steer them. The
// facade's operations of the same names forward here, so that screens below
// the facade never reach for it.
namespace brelvo::overlay {

// The overlay window (tag 777), or null before it is installed. GUI thread.
BrelvoWindow* window();
void makeKeyAndVisible();
// The host's first window becomes the key window again.
void makeAppWindowKeyAndVisible();

// Menu and floating button, by notification: any thread.
void showMenu();
void hideMenu();
void showMenuSlider();
void hideMenuSlider();

}  // namespace brelvo::overlay
