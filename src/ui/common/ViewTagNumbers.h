#pragma once

// The tags (platform/ViewTags.h) by which the library finds its own
// full-screen views again, each number defined once.
namespace brelvo::viewtags {

inline constexpr int kLockScreen = 991;          // the facade's lock screen
inline constexpr int kUserProfile = 992;         // the facade's full-screen profile
inline constexpr int kLoadingLockScreen = 99999; // the menu panel's "Loading" lock screen
inline constexpr int kOfflineBadge = 993;        // the slider's "offline" badge

}  // namespace brelvo::viewtags
