#include "app/window/main_dialog.h"

#include <wx/bmpbuttn.h>
#include <wx/button.h>
#include <wx/iconbndl.h>
#include <wx/log.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include "about/window/about_dialog.h"
#include "app/links.h"
#include "client/window/client_dialog.h"
#include "common/help_launcher.h"
#include "common/language.h"
#include "common/transparency.h"
#include "common/window/common_settings_dialog.h"
#include "gui/help.h"
#include "gui/templates.h"
#include "gui/theme.h"
#include "gui/window_alpha.h"
#include "gui/window_modal.h"
#include "platform/clock.h"
#include "server/window/server_dialog.h"

namespace horavex {
namespace {

// The template's size in dialog units.
constexpr int kTemplateWidth = 437;
constexpr int kTemplateHeight = 148;
// Picture 137, the artwork's own size.
const wxSize kPictureSize(300, 234);

void OpenWithUserPrograms(const std::string& url) {
  // Without a browser or mail program wx would put up an error box: say nothing instead.
  wxLogNull quiet;
  wxLaunchDefaultBrowser(wxString::FromUTF8(url));
}

}  // namespace

CMainDlg::CMainDlg(const ClientServices& services, SoundPlayer& sounds)
    : m_profile(services.profile), m_executors(services.executors), m_sounds(sounds), m_station(services, &sounds),
      m_openLink(OpenWithUserPrograms) {}

CMainDlg::~CMainDlg() {
  m_refresh.Stop();
  m_fadeTimer.Stop();
  // wx would destroy the children only after the members: the windows must detach from the
  // station's servers and clients before those go.
  DestroyChildren();
}

bool CMainDlg::Create() {
  if (!LoadTemplate(*this, nullptr, "IDD_MAIN", wxSize(kTemplateWidth, kTemplateHeight))) return false;
  BindControls();
  ApplyTheme(*this, {});
  // The close box ends the program; the theme's handler would only hide.
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Stop(); });
  Bind(wxEVT_CHAR_HOOK, &CMainDlg::OnKey, this);
  if (const wxBitmapBundle appIcon = Artwork("icon-app.svg", wxSize(32, 32)); appIcon.IsOk()) {
    wxIconBundle icons;
    for (int size : {16, 32, 48}) icons.AddIcon(appIcon.GetIcon(wxSize(size, size)));
    SetIcons(icons);
  }

  // The servers' windows, then the clients', made hidden in dashboard order; then the station
  // starts what the profile enables, shown in them from the first message on.
  for (ServerKind kind : kServerKinds) {
    auto*& server = m_servers[static_cast<std::size_t>(kind)];
    server = new CTimeServerDlg(m_station, kind);
    if (!server->Create(this)) delete std::exchange(server, nullptr);
  }
  for (ClientKind kind : kClientKinds) {
    auto*& client = m_clients[static_cast<std::size_t>(kind)];
    client = new CTimeClientDlg(m_station, kind);
    if (!client->Create(this)) delete std::exchange(client, nullptr);
  }
  m_station.Start();

  Centre();
  // The keyboard starts where Enter hides, not on the first client's button.
  FocusDefaultControl(*this);
  m_rcNormal = GetRect();
  if (m_bNoShow) m_bHide = true;
  if (!m_bHide) ApplyTransparency(m_profile, kMainWindowSection, *this);
  m_refresh.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { RefreshDashboard(); });
  m_refresh.Start(static_cast<int>(DashboardModel::kTickPeriod.count()));
  if (m_bHide) {
    m_fade = StartupFade(m_bNoShow);
    m_fadeTimer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnFadeStep(); });
    m_fadeTimer.Start(static_cast<int>(StartupFade::kPeriod.count()));
  }
  if (m_bNoShow) return true;
  // A hidden start shows the caption and the picture only, as a splash.
  if (m_bHide) SetClientSize(m_picture->GetSize());
  Show();
  return true;
}

void CMainDlg::BindControls() {
  for (std::size_t i = 0; i < m_servers.size(); ++i) {
    const std::string n = std::to_string(i);
    m_serverStatus[i] = dynamic_cast<wxStaticText*>(FindWindow("IDC_SERVER_STATUS_" + n));
    FindWindow("IDC_SERVER_" + n)->Bind(wxEVT_BUTTON, [this, i](wxCommandEvent&) {
      if (m_servers[i]) m_servers[i]->Show(), m_servers[i]->Raise();
    });
  }
  for (std::size_t i = 0; i < m_clients.size(); ++i) {
    const std::string n = std::to_string(i);
    m_clientStatus[i] = dynamic_cast<wxStaticText*>(FindWindow("IDC_CLIENT_STATUS_" + n));
    FindWindow("IDC_CLIENT_" + n)->Bind(wxEVT_BUTTON, [this, i](wxCommandEvent&) {
      if (m_clients[i]) m_clients[i]->Show(), m_clients[i]->Raise();
    });
  }
  m_editTime = XRCCTRL(*this, "IDC_TIME", wxTextCtrl);
  m_editDate = XRCCTRL(*this, "IDC_DATE", wxTextCtrl);
  m_editLastSyncAt = XRCCTRL(*this, "IDC_LASTSYNC_AT", wxTextCtrl);
  m_txtLastSyncBy = XRCCTRL(*this, "IDC_LASTSYNC_BY", wxStaticText);
  m_picture = XRCCTRL(*this, "IDC_PICTURE", wxStaticBitmap);
  m_picture->SetBitmap(Artwork("picture.svg", kPictureSize));
  m_picture->SetSize(m_picture->GetBestSize());

  struct PictureButton { const char* name; const char* art; std::function<void()> onClick; };
  for (const PictureButton& b : {PictureButton{"IDC_INFO", "icon-app.svg", [this] { OnInfoButton(); }},
                                 PictureButton{"IDC_WEB", "icon-info.svg", [this] { m_openLink(std::string(kWebAddress)); }},
                                 PictureButton{"IDC_HELPBUTTON", "icon-smile.svg", [this] { OnHelpButton(); }}}) {
    auto* button = XRCCTRL(*this, b.name, wxBitmapButton);
    button->SetBitmap(Artwork(b.art, wxSize(32, 32)));
    button->Bind(wxEVT_BUTTON, [onClick = b.onClick](wxCommandEvent&) { onClick(); });
  }
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Hide(); }, wxID_OK);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Stop(); }, wxID_CANCEL);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OpenCommonSettings(this, m_profile, m_sounds, m_executors); }, XRCID("IDC_SETTINGS"));
}

wxWindow* CMainDlg::FieldOf(const DashboardField& field) const {
  if (const auto* server = std::get_if<ServerKind>(&field)) return m_serverStatus[static_cast<std::size_t>(*server)];
  if (const auto* client = std::get_if<ClientKind>(&field)) return m_clientStatus[static_cast<std::size_t>(*client)];
  if (const auto* clock = std::get_if<ClockField>(&field)) return *clock == ClockField::Time ? m_editTime : m_editDate;
  return std::get<LastSyncField>(field) == LastSyncField::By ? static_cast<wxWindow*>(m_txtLastSyncBy) : m_editLastSyncAt;
}

void CMainDlg::RefreshDashboard() {
  for (const DashboardChange& change : m_station.Tick()) {
    wxWindow* control = FieldOf(change.field);
    const wxString text = wxString::FromUTF8(change.text);
    if (auto* edit = dynamic_cast<wxTextCtrl*>(control)) edit->ChangeValue(text);
    else control->SetLabel(text);
    if (m_onChange) m_onChange(change);
  }
}

void CMainDlg::OnFadeStep() {
  const StartupFade::Step step = m_fade.Next();
  SetWindowAlpha(*this, step.alpha);
  if (step.done) EndFade();
}

void CMainDlg::EndFade() {
  m_fadeTimer.Stop();
  Hide();
  SetWindowAlpha(*this, StartupFade::kRestoredAlpha);
  ApplyTransparency(m_profile, kMainWindowSection, *this);
  SetSize(m_rcNormal);
}

void CMainDlg::ShowAndRaise() {
  if (m_fadeTimer.IsRunning()) EndFade();
  Show();
  Raise();
}

void CMainDlg::OnInfoButton() {
  if (wxGetKeyState(WXK_SHIFT) && wxGetKeyState(WXK_CONTROL)) OpenAboutWindow(this);
  else m_openLink(std::string(kMailLink));
}

void CMainDlg::OnHelpButton() { ShowHelpTopic(this, kMainHelpTopic); }

void CMainDlg::OnKey(wxKeyEvent& event) {
  switch (event.GetKeyCode()) {
    case WXK_ESCAPE: return OnEscape();
    case WXK_F1: return OnHelpButton();
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
      // Enter on a focused button presses that button; anywhere else it hides the window.
      if (!dynamic_cast<wxAnyButton*>(FindFocus())) return static_cast<void>(Hide());
      [[fallthrough]];
    default: event.Skip();
  }
}

void CMainDlg::OnEscape() {
  ShowQuestionBox(this, Tr("Verberg of Stop"), Tr("Verbergen van programma ?"), [this](bool yes) {
    if (yes) Hide();
    else Stop();
  });
}

void CMainDlg::Stop() {
  // The help window may belong to one of the windows about to go: it goes first.
  InstallHelpLauncher(nullptr);
  m_refresh.Stop();
  m_fadeTimer.Stop();
  Destroy();
}

}  // namespace horavex
