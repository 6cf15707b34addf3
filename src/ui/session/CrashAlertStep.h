#pragma once

#include <functional>

namespace brelvo {

class CustomViewBrelvo;

// The crash path's interactive part, on the GUI thread: the overlay comes
// forward, the crash alert shows, and the event loop spins until the tester
// answers "YES" (which sets the shared "dismissed" flag).
namespace crashalert {

// The alert step the facade registers with the crash path. The menu panel is
// asked for when a crash is handled (it may not exist yet at start).
// Whether the alert answers itself through its button is decided now:
// BRELVO_CRASH_AUTO_CONFIRM=1 says yes, any other value ("0") no; unset, it
// does on the platforms without a screen ("offscreen", "minimal").
std::function<void()> step(std::function<CustomViewBrelvo*()> panel);

// Shows the crash alert alone.
void showAlert();

}  // namespace crashalert

}  // namespace brelvo
