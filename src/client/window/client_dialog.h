// CTimeClientDlg: one time client's window (template 131) over the station's TimeClient of its
// kind. It moves the settings between its controls and the client, shows what the client reports,
// saves, and opens the information window. The window is made hidden and shows the client from
// then on; the station starts the client.
#pragma once

#include <string>

#include <wx/dialog.h>

#include "app/station.h"
#include "client/client_view.h"

class wxButton;
class wxOwnerDrawnComboBox;
class wxStaticText;
class wxTextCtrl;
class wxToggleButton;

namespace horavex {

class PortSpin;

class CTimeClientDlg : public wxDialog, public ClientView {
 public:
  // The window of `station`'s client of `kind`, which outlives it; no window yet (Create).
  CTimeClientDlg(Station& station, ClientKind kind);
  // Detaches from the client, which counts a warning box open here as closed, and deletes the box:
  // the client's request goes on and shows nothing more in this window.
  ~CTimeClientDlg() override;
  // Makes the window, hidden, owned by `parent`, shows the client's settings and attaches to it;
  // false when the template is missing.
  bool Create(wxWindow* parent);

  TimeClient& Client() { return m_station.Client(m_nKind); }
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

  Station& m_station;
  ClientKind m_nKind;
  Profile& profile_;
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
