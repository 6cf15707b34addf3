#pragma once

// The primary screen's facts for device reports. Unlike screen:: (the host's
// window), this is the display itself.
namespace brelvo::primaryscreen {

struct Facts {
    double width = 0;   // points
    double height = 0;  // points
    double scale = 1;
};

// Read on the GUI thread; a caller on another thread waits for it, so never
// call this on the crash path. Zero size without a GUI application.
Facts facts();

// The device orientation (see deviceOrientationFor) last seen on the GUI
// thread. Never waits for the GUI thread, so the crash path may call it from
// any thread; off the GUI thread it may lag behind a turn just made, and it is
// 0 until the GUI thread has looked once (watchOrientation asks it to).
int orientation();

// Asks the GUI thread to follow the primary screen's orientation from now on;
// safe from any thread, does nothing without a GUI application.
void watchOrientation();

// The device orientation a Qt::ScreenOrientation stands for: 1 portrait,
// 2 upside down, 3 landscape left, 4 landscape right, 0 unknown.
int deviceOrientationFor(int screenOrientation);

}  // namespace brelvo::primaryscreen
