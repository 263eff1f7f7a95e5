// The quarter-hour chimes: when the shown time turns to hh:00:00, hh:15:00, hh:30:00 or hh:45:00,
// the sound file the profile names for that quarter plays. The key is read again at every chime,
// so a file chosen in the settings window is used from the next chime on.
#pragma once

#include <string_view>

namespace horavex {

class Profile;
class SoundPlayer;

class Chimes {
 public:
  Chimes(Profile& profile, SoundPlayer& sounds) : m_profile(profile), m_sounds(sounds) {}
  // Call once per new time text (HH:MM:SS); plays the quarter's file, if any. A second that is
  // never shown gets no chime, and a chime is never made up for later.
  void OnTimeShown(std::string_view timeText);

 private:
  Profile& m_profile;
  SoundPlayer& m_sounds;
};

}  // namespace horavex
