// Sounds: the chimes and the settings window's test plays. Playing never blocks and never fails
// where a user would see it.
#pragma once

#include <memory>
#include <string>

namespace horavex {

class SoundPlayer {
 public:
  virtual ~SoundPlayer() = default;
  // Starts playing the sound file `path` and returns at once. A sound of this program that is
  // still playing stops first. Plays nothing when the device is busy or absent, or the file
  // cannot be played; nothing is reported.
  virtual void PlayFile(const std::string& path) = 0;
};

// This machine's player (linux: libcanberra); the null platform's plays nothing.
std::unique_ptr<SoundPlayer> MakeSystemSoundPlayer();

}  // namespace horavex
