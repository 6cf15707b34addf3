#include "ui/session/OverlayControl.h"

#include "platform/NotificationCenter.h"
#include "platform/WindowLayer.h"
#include "state/NotificationNames.h"
#include "state/SharedState.h"
#include "ui/session/BrelvoWindow.h"

namespace brelvo::overlay {

BrelvoWindow* window() {
    return qobject_cast<BrelvoWindow*>(windows::withTag(BrelvoWindow::kTag));
}

void makeKeyAndVisible() {
    windows::makeKeyAndVisible(window());
}

void makeAppWindowKeyAndVisible() {
    windows::makeKeyAndVisible(windows::first());
}

void showMenu() {
    NotificationCenter::defaultCenter().post(notifications::kOpenMenu);
}

void hideMenu() {
    NotificationCenter::defaultCenter().post(notifications::kCloseMenu);
}

void showMenuSlider() {
    SharedState::shared().setIsHide(false);
    NotificationCenter::defaultCenter().post(notifications::kBringSliderToFront);
}

void hideMenuSlider() {
    SharedState::shared().setIsHide(true);
    NotificationCenter::defaultCenter().post(notifications::kBringSliderToBack);
}

}  // namespace brelvo::overlay
