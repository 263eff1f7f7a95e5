// CCommonSettingsDlg: the window "Instellen" (template 144) for what all clients and the main window
// share: how the network is reached, the dial-up connection's name and the four chime files. It
// reads the six settings when it opens and writes all six on OK; Cancel writes nothing. A chime
// can be tried from its play picture before it is saved.
#pragma once

#include <array>

#include <wx/dialog.h>

#include "common/common_settings.h"

class wxRadioButton;
class wxStaticText;
class wxTextCtrl;

namespace horavex {

class Profile;
class SoundPlayer;

class CCommonSettingsDlg : public wxDialog {
 public:
  CCommonSettingsDlg(Profile& profile, SoundPlayer& sounds);
  // Makes the window, hidden, over `parent`, with the settings in its controls; false when the
  // template is missing.
  bool Create(wxWindow* parent);
  // Saves the controls' settings (OK); false, with a warning over this window, when the profile
  // could not be written.
  bool OnOK();

 private:
  void OnInitDialog();
  // Moves the controls into the fields, or the fields into the controls.
  void UpdateData(bool fromControls);
  void UpdateConnectionControls();
  void OnPlay(wxTextCtrl* edit);
  void OnBrowse(wxTextCtrl* edit);
  void OnHelpButton();

  Profile& profile_;
  SoundPlayer& sounds_;
  CommonSettings settings_;
  std::array<wxRadioButton*, 4> m_radioMode{};  // modes 0, 1, 2, then the hidden "none"
  wxStaticText* m_txtConnection = nullptr;
  wxTextCtrl* m_editConnection = nullptr;
  std::array<wxTextCtrl*, 4> m_editSound{};  // hh:00, hh:15, hh:30, hh:45
};

// Opens the settings window over owner (disabled until OK or Cancel), returns at once.
void OpenCommonSettings(wxWindow* owner, Profile& profile, SoundPlayer& sounds);

}  // namespace horavex
