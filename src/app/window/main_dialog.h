// CMainDlg: the main window "Horavex". It holds the program's Station (the four servers and five
// clients, whose windows are its hidden children) and shows what the station's refresh gives:
// each one's status beside a button that opens its window, the date, the time and the last
// synchronisation, every 150 ms. It fades out after a hidden start. Hiding it stops nothing;
// closing it ends the program.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "app/startup.h"
#include "app/station.h"

class wxStaticBitmap;
class wxStaticText;
class wxTextCtrl;

namespace horavex {

class CTimeClientDlg;
class CTimeServerDlg;
class SoundPlayer;

class CMainDlg : public wxDialog {
 public:
  // Opens a link (mail or web) with the user's programs; nothing is said when there are none.
  using LinkOpener = std::function<void(const std::string& url)>;

  // Makes the station over `services`; the chimes play through `sounds`.
  CMainDlg(const ClientServices& services, SoundPlayer& sounds);
  // The nine windows go first, then the station with the servers and clients they showed.
  ~CMainDlg() override;

  // Set before Create from the start words; NOSHOW implies HIDE.
  bool m_bHide = false;
  bool m_bNoShow = false;

  // Makes the window and, hidden, the nine windows it owns, then starts the station (the servers
  // and clients the profile enables); then shows it centred, as a fading splash, or keeps it hidden.
  bool Create();
  // A second start: ends a fade that still runs, then shows the window and brings it to the front.
  void ShowAndRaise();

  Station& GetStation() { return m_station; }
  // The window of a server or client; null when its template could not be loaded.
  CTimeServerDlg* Server(ServerKind kind) const { return m_servers[static_cast<std::size_t>(kind)]; }
  CTimeClientDlg* Client(ClientKind kind) const { return m_clients[static_cast<std::size_t>(kind)]; }
  void SetLinkOpener(LinkOpener opener) { m_openLink = std::move(opener); }
  // Shows what changed since the previous refresh; the timer calls it every 150 ms.
  void RefreshDashboard();
  // Sees every change the refresh writes (the status icon follows the dashboard through it).
  void SetDashboardObserver(std::function<void(const DashboardChange&)> observer) { m_onChange = std::move(observer); }

 private:
  void BindControls();
  void OnFadeStep();
  void EndFade();
  void OnInfoButton();
  void OnHelpButton();
  void OnKey(wxKeyEvent& event);
  void OnEscape();
  // Ends the program: the window goes, and its nine windows with it.
  void Stop();
  wxWindow* FieldOf(const DashboardField& field) const;

  Profile& m_profile;
  Executors m_executors;  // for the settings window's save
  SoundPlayer& m_sounds;
  Station m_station;
  std::array<CTimeServerDlg*, kServerKindCount> m_servers{};
  std::array<CTimeClientDlg*, kClientKindCount> m_clients{};
  StartupFade m_fade{false};
  wxRect m_rcNormal;
  wxTimer m_refresh;
  wxTimer m_fadeTimer;
  std::array<wxStaticText*, kServerKindCount> m_serverStatus{};
  std::array<wxStaticText*, kClientKindCount> m_clientStatus{};
  wxTextCtrl* m_editTime = nullptr;
  wxTextCtrl* m_editDate = nullptr;
  wxTextCtrl* m_editLastSyncAt = nullptr;
  wxStaticText* m_txtLastSyncBy = nullptr;
  wxStaticBitmap* m_picture = nullptr;
  LinkOpener m_openLink;
  std::function<void(const DashboardChange&)> m_onChange;
};

}  // namespace horavex
