// CTimeClientDlg: one time client's window (template 131) over its logic, TimeClient. It moves
// the settings between its controls and the client, shows what the client reports, saves, and
// opens the information window. The window is made hidden; making it starts a client whose
// "StartUp" is set, with one request at once.
#pragma once

#include <string>

#include <wx/dialog.h>

#include "client/client_view.h"
#include "client/time_client.h"

class wxButton;
class wxOwnerDrawnComboBox;
class wxStaticText;
class wxTextCtrl;
class wxToggleButton;

namespace horavex {

class PortSpin;

class CTimeClientDlg : public wxDialog, public ClientView {
 public:
  // Reads the kind's settings; no window yet (Create).
  CTimeClientDlg(ClientKind kind, ClientServices services);
  // Deletes an open warning box, then releases the client: its request, waiting for that box or
  // anything else, unwinds in the background and shows nothing more in this window.
  ~CTimeClientDlg() override;
  // Makes the window, hidden, owned by `parent`, and opens it; false when the template is missing.
  bool Create(wxWindow* parent);

  TimeClient& Client() { return client_; }
  // "Err:Stop", "Disabled", "-BUSY-" or the success count.
  std::string GetStatusText() const { return client_.GetStatusText(); }
  // The open warning box, null when none.
  wxDialog* WarningBox() const { return m_pWarning; }

  void SetStatusLine(const std::string& text) override;
  void SetMessages(const std::string& text) override;
  void SetLastAttempt(const std::string& text) override;
  void SetLastSync(const std::string& text) override;
  void EnableSynchro(bool enabled) override;
  void ShowWarning(const std::string& title, const std::string& text, std::function<void()> closed) override;

 private:
  void BindControls();
  void OnInitDialog();
  void OnOK();
  void OnEnabledClicked();
  void OnSettingChanged();
  void OnInfo();
  void OnHelpButton();
  // Moves the controls into the client's settings; false, with the client's message for a port
  // it cannot open and 22, when the port field holds no port (1 to 65535): nothing is taken then.
  bool UpdateData();

  ClientKind m_nKind;
  Profile& profile_;
  TimeClient client_;
  wxTextCtrl* m_editServer = nullptr;
  PortSpin* m_spinPort = nullptr;
  wxOwnerDrawnComboBox* m_cbInterval = nullptr;
  wxOwnerDrawnComboBox* m_cbWarnLevel = nullptr;
  wxOwnerDrawnComboBox* m_cbMaxOffset = nullptr;
  wxTextCtrl* m_editLastAttempt = nullptr;
  wxTextCtrl* m_editLastSync = nullptr;
  wxStaticText* m_txtMessages = nullptr;
  wxStaticText* m_txtStatus = nullptr;
  wxButton* m_btnSynchro = nullptr;
  wxButton* m_btnSave = nullptr;
  wxToggleButton* m_btnEnabled = nullptr;
  wxDialog* m_pWarning = nullptr;
  bool m_bInitialized = false;
};

}  // namespace horavex
