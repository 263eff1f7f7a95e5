// CCommonSettingsDlg: the window "Instellen" (template 144) for what all clients and the main window
// share: how the network is reached, the dial-up connection's name and the four chime files. It
// reads the six settings when it opens and writes all six on OK, closing once they are written;
// Cancel writes nothing. A chime can be tried from its play picture before it is saved.
#pragma once

#include <array>

#include <wx/dialog.h>
#include <wx/string.h>

#include "common/common_settings.h"
#include "common/settings_saver.h"

class wxRadioButton;
class wxStaticText;
class wxTextCtrl;

namespace horavex {

class Profile;
class SoundPlayer;

class CCommonSettingsDlg : public wxDialog {
 public:
  // Saves through `executors` (SettingsSaver).
  CCommonSettingsDlg(Profile& profile, SoundPlayer& sounds, Executors executors);
  // Makes the window, hidden, over `parent`, with the settings in its controls; false when the
  // template is missing.
  bool Create(wxWindow* parent);
  // OK: true once the settings are written, so that the window may close. Until then it starts
  // the save (unless one runs) and returns false; a save that succeeds presses OK again, one that
  // fails puts a warning over the window, which stays open with what was typed.
  bool OnOK();

 private:
  void OnInitDialog();
  // Moves the controls into the settings.
  void TakeSettings();
  // Shows the settings in the controls.
  void ShowSettings();
  void UpdateConnectionControls();
  void OnPlay(wxTextCtrl* edit);
  void OnBrowse(wxTextCtrl* edit);
  void OnHelpButton();
  void OnSaved(int error);

  Profile& profile_;
  SoundPlayer& sounds_;
  CommonSettings settings_;
  std::array<wxRadioButton*, 4> m_radioMode{};  // modes 0, 1, 2, then the hidden "none"
  wxStaticText* m_txtConnection = nullptr;
  wxTextCtrl* m_editConnection = nullptr;
  std::array<wxTextCtrl*, 4> m_editSound{};  // hh:00, hh:15, hh:30, hh:45
  wxStaticText* m_txtHint = nullptr;
  wxString m_hint;
  bool saved_ = false;
  SettingsSaver saver_;
};

// Opens the settings window over owner (disabled until OK or Cancel), returns at once.
void OpenCommonSettings(wxWindow* owner, Profile& profile, SoundPlayer& sounds, Executors executors);

}  // namespace horavex
