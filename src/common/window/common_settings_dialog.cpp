#include "common/window/common_settings_dialog.h"

#include <algorithm>
#include <string_view>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/generic/statbmpg.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include "common/autostart.h"
#include "common/help_launcher.h"
#include "common/profile.h"
#include "common/transparency.h"
#include "gui/help.h"
#include "gui/templates.h"
#include "gui/theme.h"
#include "gui/window_alpha.h"
#include "gui/window_modal.h"
#include "platform/sound.h"

namespace horavex {
namespace {

// The template's size in dialog units.
constexpr int kTemplateWidth = 380;
constexpr int kTemplateHeight = 194;

// The chime rows' controls in the template, in the order of m_editSound.
constexpr const char* kSoundEdits[] = {"IDC_SOUND00", "IDC_SOUND15", "IDC_SOUND30", "IDC_SOUND45"};
constexpr const char* kPlayPictures[] = {"IDC_PLAY00", "IDC_PLAY15", "IDC_PLAY30", "IDC_PLAY45"};
constexpr const char* kBrowseButtons[] = {"IDC_BROWSE00", "IDC_BROWSE15", "IDC_BROWSE30", "IDC_BROWSE45"};

// Icon 147, the play button, as large as fits `size` up to its own 32 pixels; invalid when the
// artwork is missing (the picture is then empty but still plays).
wxBitmap PlayIcon(wxSize size) {
  const int side = std::min({32, size.x, size.y});
  return side > 0 ? Artwork("icon-triangle.svg", wxSize(side, side)).GetBitmap(wxSize(side, side)) : wxBitmap();
}

// Replaces the template's placeholder `name` by the play picture: drawn by wx, so that it shows
// the tile around the icon and reports clicks (GTK's own image has no window to click).
wxGenericStaticBitmap* PlacePlayPicture(wxWindow& window, const char* name) {
  wxWindow* placeholder = window.FindWindow(wxString(name) + "_container");
  if (!placeholder) return nullptr;
  auto* picture = new wxGenericStaticBitmap(&window, wxID_ANY, PlayIcon(placeholder->GetSize()),
                                            placeholder->GetPosition(), placeholder->GetSize(), 0, name);
  picture->SetScaleMode(wxStaticBitmapBase::Scale_AspectFit);  // centred; never larger than drawn
  picture->MoveAfterInTabOrder(placeholder);
  placeholder->Destroy();
  return picture;
}

DesktopHooks& Hooks() {
  static DesktopHooks hooks;
  return hooks;
}

}  // namespace

void InstallDesktopHooks(DesktopHooks hooks) { Hooks() = std::move(hooks); }

CCommonSettingsDlg::CCommonSettingsDlg(Profile& profile, SoundPlayer& sounds, Executors executors)
    : profile_(profile), sounds_(sounds), settings_(CommonSettings::Load(profile)),
      autostartPath_(AutostartEntry::DefaultPath()),
      autostartShown_(AutostartEntry::Read(autostartPath_).state == AutostartEntry::State::Enabled),
      saver_(profile, std::move(executors)) {}

bool CCommonSettingsDlg::Create(wxWindow* parent) {
  if (!LoadTemplate(*this, parent, "IDD_COMMON_SETTINGS", wxSize(kTemplateWidth, kTemplateHeight))) return false;
  const char* modes[] = {"IDC_MODE0", "IDC_MODE1", "IDC_MODE2", "IDC_MODE_NONE"};
  for (std::size_t i = 0; i < m_radioMode.size(); ++i) {
    m_radioMode[i] = XRCCTRL(*this, modes[i], wxRadioButton);
    // A radio button's circle must fit its 10 units (12 pixels), else GTK warns at every layout.
    ApplyGtkCss(*m_radioMode[i], "radio { min-width: 12px; min-height: 12px; }");
    m_radioMode[i]->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { UpdateConnectionControls(); });
  }
  m_txtConnection = XRCCTRL(*this, "IDC_CONNECTION_LABEL", wxStaticText);
  m_editConnection = XRCCTRL(*this, "IDC_CONNECTION", wxTextCtrl);
  m_chkStatusIcon = XRCCTRL(*this, "IDC_STATUS_ICON", wxCheckBox);
  m_chkAutostart = XRCCTRL(*this, "IDC_AUTOSTART", wxCheckBox);
  // As the radio buttons: the box must fit its 10 units.
  for (wxCheckBox* box : {m_chkStatusIcon, m_chkAutostart}) ApplyGtkCss(*box, "check { min-width: 12px; min-height: 12px; }");
  m_txtHint = XRCCTRL(*this, "IDC_HINT", wxStaticText);
  m_hint = m_txtHint->GetLabel();
  for (std::size_t i = 0; i < m_editSound.size(); ++i) {
    wxTextCtrl* edit = m_editSound[i] = XRCCTRL(*this, kSoundEdits[i], wxTextCtrl);
    wxGenericStaticBitmap* picture = PlacePlayPicture(*this, kPlayPictures[i]);
    picture->Bind(wxEVT_LEFT_DOWN, [this, edit](wxMouseEvent&) { OnPlay(edit); });
    picture->Bind(wxEVT_LEFT_DCLICK, [this, edit](wxMouseEvent&) { OnPlay(edit); });
    auto* browse = XRCCTRL(*this, kBrowseButtons[i], wxButton);
    ApplyGtkCss(*browse, "button { min-width: 0; min-height: 0; padding: 0; }");  // as high as its edit
    browse->Bind(wxEVT_BUTTON, [this, edit](wxCommandEvent&) { OnBrowse(edit); });
  }
  ApplyTheme(*this, {});
  BindHelpKey(*this, [this] { OnHelpButton(); });
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnHelpButton(); }, wxID_HELP);
  OnInitDialog();
  return true;
}

void CCommonSettingsDlg::OnInitDialog() {
  ApplyTransparency(profile_, kCommonSettingsWindowSection, *this);
  ShowSettings();
  UpdateConnectionControls();
}

void CCommonSettingsDlg::TakeSettings() {
  // The index of the checked mode, -1 when none of the three is.
  const auto three = m_radioMode.begin() + 3;
  const auto checked = std::find_if(m_radioMode.begin(), three, [](wxRadioButton* b) { return b->GetValue(); });
  settings_.m_checkConnect = checked == three ? -1 : static_cast<int>(checked - m_radioMode.begin());
  settings_.m_connection = m_editConnection->GetValue().utf8_string();
  std::string* sounds[] = {&settings_.m_sound00, &settings_.m_sound15, &settings_.m_sound30, &settings_.m_sound45};
  for (std::size_t i = 0; i < m_editSound.size(); ++i) *sounds[i] = m_editSound[i]->GetValue().utf8_string();
  settings_.m_statusIcon = m_chkStatusIcon->GetValue() ? 1 : 0;
}

void CCommonSettingsDlg::ShowSettings() {
  const std::string* sounds[] = {&settings_.m_sound00, &settings_.m_sound15, &settings_.m_sound30,
                                 &settings_.m_sound45};
  m_chkStatusIcon->SetValue(settings_.m_statusIcon != 0);
  m_chkAutostart->SetValue(autostartShown_);
  const int mode = settings_.m_checkConnect;
  m_radioMode[mode >= 0 && mode <= 2 ? mode : 3]->SetValue(true);
  m_editConnection->ChangeValue(wxString::FromUTF8(settings_.m_connection));
  for (std::size_t i = 0; i < m_editSound.size(); ++i) m_editSound[i]->ChangeValue(wxString::FromUTF8(*sounds[i]));
}

void CCommonSettingsDlg::UpdateConnectionControls() {
  TakeSettings();
  // A mode outside 0 to 2 reads back as -1, which needs a connection as 1 and 2 do.
  const bool dials = settings_.m_checkConnect != 0;
  m_txtConnection->Enable(dials);
  // GTK greys a disabled label only in the theme's own colour.
  m_txtConnection->SetForegroundColour(dials ? kThemeText : wxColour());
  m_editConnection->Enable(dials);
}

void CCommonSettingsDlg::OnPlay(wxTextCtrl* edit) {
  const std::string path = edit->GetValue().utf8_string();
  if (!path.empty()) sounds_.PlayFile(path);
}

void CCommonSettingsDlg::OnBrowse(wxTextCtrl* edit) {
  // Opens where the edit's file is, when it names one.
  const wxFileName current(edit->GetValue());
  auto* chooser = new wxFileDialog(this, _("Geluidsbestand kiezen"), current.GetPath(), current.GetFullName(),
                                   _("Geluidsbestanden (*.wav)|*.wav"), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  OpenWindowModal(*chooser, {[chooser, edit](int result) {
                               if (result == wxID_OK) edit->SetValue(chooser->GetPath());
                             },
                             {}});
}

void CCommonSettingsDlg::OnOK() {
  if (saver_.Busy()) return;
  TakeSettings();
  if (!ApplyAutostartBox()) return;
  FindWindow(wxID_OK)->Disable();
  // A slow save says so in the hint line above the buttons.
  saver_.Save(CommonSettings::kSection, settings_,
              {[this] { m_txtHint->SetLabel(wxString::FromUTF8(Tr(kSavingText.data()))); },
               [this](int error, bool) { OnSaved(error); }});
}

void CCommonSettingsDlg::OnSaved(int error) {
  if (!IsShown()) return;  // closed during the save: it is going, with nothing more to say
  m_txtHint->SetLabel(m_hint);
  FindWindow(wxID_OK)->Enable();
  if (error == 0) {
    if (Hooks().statusIconChanged) Hooks().statusIconChanged(settings_.m_statusIcon != 0);
    return EndWindowModal(*this, wxID_OK);
  }
  ShowSaveFailure(profile_.Path(), error);
}

bool CCommonSettingsDlg::ApplyAutostartBox() {
  const bool wanted = m_chkAutostart->GetValue();
  // Hidden at login only where the icon can bring the window back; else the splash says it started.
  const bool icon = wanted && settings_.m_statusIcon != 0 && Hooks().statusIconPossible && Hooks().statusIconPossible();
  const int error = ApplyAutostart(autostartPath_, autostartShown_, wanted, icon ? "NOSHOW" : "HIDE");
  if (error == 0) return true;
  ShowSaveFailure(autostartPath_, error);
  return false;
}

void CCommonSettingsDlg::ShowSaveFailure(const std::filesystem::path& path, int error) {
  ShowWarningBox(this, Tr("Instellen"),
                 Tr("Kon de instellingen niet opslaan in ") + path.string() + "\n[ERROR: " + std::to_string(error) + "]", {});
}

void CCommonSettingsDlg::OnHelpButton() { ShowHelpTopic(this, kCommonSettingsHelpTopic); }

void OpenCommonSettings(wxWindow* owner, Profile& profile, SoundPlayer& sounds, Executors executors) {
  auto window = std::make_unique<CCommonSettingsDlg>(profile, sounds, std::move(executors));
  WindowModal calls;
  // OK starts the save and keeps the window open; the window ends itself once the save succeeded.
  calls.canClose = [settings = window.get()](int result) {
    if (result != wxID_OK) return true;
    settings->OnOK();
    return false;
  };
  OpenWindowModal(std::move(window), owner, std::move(calls));
}

}  // namespace horavex
