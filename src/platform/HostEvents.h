#pragma once

#include <brelvo/BrelvoEvents.h>

#include <functional>
#include <type_traits>

namespace brelvo::hostevents {

// The one events object the host connects to; made on first use and moved
// to the GUI thread when the application exists by then. Lives until the
// process ends.
BrelvoEvents& object();

// Runs the emission on the object's thread: at once when already there,
// queued from any other thread. Nothing without an application object.
void onObjectThread(std::function<void(BrelvoEvents&)> emission);

// hostevents::emitEvent(&BrelvoEvents::sessionRefused, reason), from any thread.
template <typename... Args>
void emitEvent(void (BrelvoEvents::*signal)(Args...), const std::remove_cvref_t<Args>&... args) {
    onObjectThread([signal, args...](BrelvoEvents& events) { (events.*signal)(args...); });
}

}  // namespace brelvo::hostevents
