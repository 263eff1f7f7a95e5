// CTimeServerDlg: one time server's window (template 139) over its logic, TimeServer. It moves
// the port and the Enabled state between its controls and the server, shows what the server
// reports, and saves. The window is made hidden; making it starts a server whose "StartUp" is set.
#pragma once

#include <optional>
#include <string>

#include <asio/ip/address.hpp>
#include <wx/dialog.h>

#include "server/time_server.h"

class wxButton;
class wxStaticText;
class wxTextCtrl;
class wxToggleButton;

namespace horavex {

class PortSpin;

class CTimeServerDlg : public wxDialog, public ServerView {
 public:
  // Reads the kind's settings; no window yet (Create). `bindAddress` as TimeServer's.
  CTimeServerDlg(ServerKind kind, ServerServices services,
                 std::optional<asio::ip::address> bindAddress = std::nullopt);
  // Makes the window, hidden, owned by `parent`, and opens it; false when the template is missing.
  bool Create(wxWindow* parent);

  TimeServer& Server() { return server_; }
  // The request count of the running server, or "disabled".
  std::string GetStatusText() const { return server_.GetStatusText(); }

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

  ServerKind m_nKind;
  Profile& profile_;
  TimeServer server_;
  PortSpin* m_spinPort = nullptr;
  wxToggleButton* m_btnEnabled = nullptr;
  wxTextCtrl* m_editRequests = nullptr;
  wxStaticText* m_txtMessages = nullptr;
  wxButton* m_btnSave = nullptr;
  bool m_bInitialized = false;
};

}  // namespace horavex
