// CTimeServerDlg: one time server's window (template 139) over the station's TimeServer of its
// kind. It moves the port and the Enabled state between its controls and the server, shows what
// the server reports, and saves. The window is made hidden; the station starts the server.
#pragma once

#include <string>

#include <wx/dialog.h>

#include "app/station.h"

class wxButton;
class wxStaticText;
class wxTextCtrl;
class wxToggleButton;

namespace horavex {

class PortSpin;

class CTimeServerDlg : public wxDialog, public ServerView {
 public:
  // The window of `station`'s server of `kind`, which outlives it; no window yet (Create).
  CTimeServerDlg(Station& station, ServerKind kind);
  // Detaches from the server, which goes on.
  ~CTimeServerDlg() override;
  // Makes the window, hidden, owned by `parent`, shows the server's settings and attaches to it;
  // false when the template is missing.
  bool Create(wxWindow* parent);

  TimeServer& Server() { return m_station.Server(m_nKind); }

  void ShowRequestLog(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void SetRequestText(const std::string& text) override;

 private:
  void OnInitDialog();
  void OnPortChanged();
  void OnEnabledClicked();
  void OnOK();
  void OnHelpButton();
  // Takes the port from its field into the server; false, with message "Creatie socket NIET
  // mogelijk" 22, when the field holds no port (1 to 65535): the server's setting stays.
  bool UpdateData();
  void ShowMessage(const std::string& text);

  Station& m_station;
  ServerKind m_nKind;
  Profile& profile_;
  PortSpin* m_spinPort = nullptr;
  wxToggleButton* m_btnEnabled = nullptr;
  wxTextCtrl* m_editRequests = nullptr;
  wxStaticText* m_txtMessages = nullptr;
  wxButton* m_btnSave = nullptr;
  bool m_bInitialized = false;
};

}  // namespace horavex
