// CCommonSettingsDlg: the window "Instellen" (template 144) for what all clients and the main window
// share: how the network is reached, the dial-up connection's name, the four chime files, the
// status icon, and the autostart entry. It reads the settings when it opens and writes them all
// on OK, closing once they are written; Cancel writes nothing. A chime can be tried from its play
// picture before it is saved.
#pragma once

#include <array>
#include <filesystem>
#include <functional>

#include <wx/dialog.h>
#include <wx/string.h>

#include "common/common_settings.h"
#include "common/settings_saver.h"

class wxCheckBox;
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
  // OK: starts writing the settings, unless a save runs. One that succeeds ends the window with
  // OK; one that fails puts a warning over it, and it stays open with what was typed.
  void OnOK();

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
  // Writes or removes the autostart entry as its box says; false (with a warning) when it cannot.
  bool ApplyAutostartBox();
  void ShowSaveFailure(const std::filesystem::path& path, int error);

  Profile& profile_;
  SoundPlayer& sounds_;
  CommonSettings settings_;
  std::array<wxRadioButton*, 4> m_radioMode{};  // modes 0, 1, 2, then the hidden "none"
  wxStaticText* m_txtConnection = nullptr;
  wxTextCtrl* m_editConnection = nullptr;
  std::array<wxTextCtrl*, 4> m_editSound{};  // hh:00, hh:15, hh:30, hh:45
  wxCheckBox* m_chkStatusIcon = nullptr;
  wxCheckBox* m_chkAutostart = nullptr;
  std::filesystem::path autostartPath_;
  bool autostartShown_ = false;  // the entry was there and enabled when the window opened
  wxStaticText* m_txtHint = nullptr;
  wxString m_hint;
  SettingsSaver saver_;
};

// What the settings window asks of the program around it; the windowed program installs them.
struct DesktopHooks {
  std::function<bool()> statusIconPossible;     // whether a panel would show the status icon now
  std::function<void(bool)> statusIconChanged;  // the saved status icon box, to follow at once
};
// Sets the hooks every settings window uses; empty ones do nothing (no icon is possible).
void InstallDesktopHooks(DesktopHooks hooks);

// Opens the settings window over `owner` (which takes no input until OK or Cancel); returns at once.
void OpenCommonSettings(wxWindow* owner, Profile& profile, SoundPlayer& sounds, Executors executors);

}  // namespace horavex
