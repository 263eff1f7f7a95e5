// The common settings window "Instellen".
#pragma once

class wxWindow;

namespace horavex {

class Profile;
class SoundPlayer;

// Opens the settings window over owner (disabled until OK or Cancel), returns at once.
void OpenCommonSettings(wxWindow* owner, Profile& profile, SoundPlayer& sounds);

}  // namespace horavex
