#pragma once

#include <QString>

// The names of the notifications through which the library's components (and
// the host) talk to one another. Each is defined here and nowhere else.
namespace brelvo::notifications {

inline const QString kOpenMenu = QStringLiteral("OpenMenu");
inline const QString kCloseMenu = QStringLiteral("CloseMenu");
inline const QString kCloseMenuWithoutDuration = QStringLiteral("CloseMenuWithoutDuration");
inline const QString kShowMenuSlider = QStringLiteral("ShowMenuSlider");
inline const QString kHideMenuSlider = QStringLiteral("HideMenuSlider");
inline const QString kBringSliderToFront = QStringLiteral("BringBrelvoSliderToFront");
inline const QString kBringSliderToBack = QStringLiteral("BringBrelvoSliderToBack");
inline const QString kMakeScreenshot = QStringLiteral("MakeScreenshot");
inline const QString kActivationMode = QStringLiteral("Brelvo_ActivationMode");          // object: mode number
inline const QString kButtonsState = QStringLiteral("Brelvo_Buttons_State");             // object: button mode number
inline const QString kMainOrScreenshot = QStringLiteral("Brelvo_MainOrScreenshot");      // object: shake target number
inline const QString kCloseLockScreen = QStringLiteral("CloseLockScreen");
inline const QString kAuthentication = QStringLiteral("Authentication");
inline const QString kCallPostIssue = QStringLiteral("CallPostIssue");
inline const QString kUpdateUserImage = QStringLiteral("UpdateUserImage");
inline const QString kUpdateAppInfo = QStringLiteral("UpdateAppInfo");
inline const QString kUpdateActiveRequirement = QStringLiteral("UpdateActiveRequirement");
inline const QString kUpdateRequirement = QStringLiteral("updateRequirement");           // object: requirement id
inline const QString kRemoveCaseView = QStringLiteral("RemoveCaseView");
inline const QString kUpdateScreenshots = QStringLiteral("UpdateScreenshots");
inline const QString kDeleteExtraScreenshot = QStringLiteral("BrelDeleteExtraScreenshot");  // object: index number
// kReachabilityChangedNotificationBrelvo ("NetworkReachabilityChangedNotification") lives with BVReachability.

// The platform's own events, posted by the library's lifecycle watcher.
inline const QString kDeviceOrientationDidChange = QStringLiteral("UIDeviceOrientationDidChangeNotification");

}  // namespace brelvo::notifications
