#pragma once

// System sounds through libcanberra's event sounds, where the library was
// built with its headers (BRELVO_HAVE_CANBERRA) and libcanberra is installed,
// loaded at the first sound; silent otherwise. Any thread: calls
// are serialised, and the sound plays asynchronously. Without a sound server
// nothing is heard (a debug line says why).
namespace brelvo::systemsound {

// The sound ids the library knows: the camera shutter; any other id plays
// the bell.
inline constexpr int kShutterSoundId = 1108;

void play(int soundId);

}  // namespace brelvo::systemsound
