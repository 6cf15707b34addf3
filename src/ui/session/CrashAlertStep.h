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
// BRELVO_CRASH_AUTO_CONFIRM=1, read now, lets the alert answer itself through
// its button (tests).
std::function<void()> step(std::function<CustomViewBrelvo*()> panel);

// Shows the crash alert alone.
void showAlert();

}  // namespace crashalert

}  // namespace brelvo
