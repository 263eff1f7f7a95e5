#include "client/window/client_dialog.h"

#include <cerrno>

#include <wx/button.h>
#include <wx/odcombo.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tglbtn.h>
#include <wx/weakref.h>
#include <wx/xrc/xmlres.h>

#include "client/window/client_info_dialog.h"
#include "common/help_launcher.h"
#include "common/transparency.h"
#include "gui/help.h"
#include "gui/port_spin.h"
#include "gui/templates.h"
#include "gui/theme.h"
#include "gui/window_alpha.h"
#include "gui/window_modal.h"
#include "protocol/window_texts.h"

namespace horavex {
namespace {

// The template's size in dialog units.
constexpr int kTemplateWidth = 357;
constexpr int kTemplateHeight = 133;

// What a request reports for a port it cannot open; a port field that holds no port says the same.
constexpr const char* kPortRefusedText = TrNoop("Geen verbinding met server\nof de poort is niet te openen");

// Selects entry `index` of `list`, or none when the list has no such entry (a stored index from
// another version or a hand edit), which reads back as -1.
void SelectIndex(wxOwnerDrawnComboBox& list, int index) {
  list.SetSelection(index >= 0 && static_cast<unsigned>(index) < list.GetCount() ? index : wxNOT_FOUND);
}

}  // namespace

CTimeClientDlg::CTimeClientDlg(Station& station, ClientKind kind)
    : m_station(station), m_nKind(kind), profile_(station.GetProfile()) {}

CTimeClientDlg::~CTimeClientDlg() {
  if (m_bInitialized) m_station.AttachClientView(m_nKind, nullptr);
  delete m_pWarning;
}

bool CTimeClientDlg::Create(wxWindow* parent) {
  if (!LoadTemplate(*this, parent, "IDD_TIME_CLIENT", wxSize(kTemplateWidth, kTemplateHeight))) return false;
  m_editServer = XRCCTRL(*this, "IDC_SERVER", wxTextCtrl);
  m_spinPort = PlacePortSpin(*this, "IDC_PORT");
  m_cbInterval = XRCCTRL(*this, "IDC_INTERVAL", wxOwnerDrawnComboBox);
  m_cbWarnLevel = XRCCTRL(*this, "IDC_WARNLEVEL", wxOwnerDrawnComboBox);
  m_cbMaxOffset = XRCCTRL(*this, "IDC_MAXOFFSET", wxOwnerDrawnComboBox);
  m_editLastAttempt = XRCCTRL(*this, "IDC_LAST_ATTEMPT", wxTextCtrl);
  m_editLastSync = XRCCTRL(*this, "IDC_LAST_SYNC", wxTextCtrl);
  m_txtMessages = XRCCTRL(*this, "IDC_MESSAGES", wxStaticText);
  m_txtStatus = XRCCTRL(*this, "IDC_STATUS", wxStaticText);
  m_btnSynchro = XRCCTRL(*this, "IDC_SYNCHRO", wxButton);
  m_btnSave = XRCCTRL(*this, "wxID_OK", wxButton);
  m_btnEnabled = XRCCTRL(*this, "IDC_ENABLED", wxToggleButton);
  ApplyTheme(*this, {FindWindow("IDC_MESSAGES_FIELD"), m_txtMessages});
  BindHelpKey(*this, [this] { OnHelpButton(); });
  BindControls();
  OnInitDialog();
  return true;
}

void CTimeClientDlg::BindControls() {
  auto changed = [this](wxCommandEvent&) { OnSettingChanged(); };
  m_editServer->Bind(wxEVT_TEXT, changed);
  m_spinPort->Bind(wxEVT_TEXT, changed);  // the arrows change the text too
  for (wxOwnerDrawnComboBox* list : {m_cbInterval, m_cbWarnLevel, m_cbMaxOffset}) list->Bind(wxEVT_COMBOBOX, changed);
  m_btnEnabled->Bind(wxEVT_TOGGLEBUTTON, [this](wxCommandEvent&) { OnEnabledClicked(); });
  m_btnSynchro->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Client().DoSynchro(); });
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnInfo(); }, XRCID("IDC_INFO"));
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnHelpButton(); }, wxID_HELP);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOK(); }, wxID_OK);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Hide(); }, wxID_CANCEL);
}

void CTimeClientDlg::OnInitDialog() {
  ApplyTransparency(profile_, kClientWindowSection, *this);
  // Filling the controls reports changes; m_bInitialized keeps them from enabling Save.
  const ClientSettings& settings = Client().Settings();
  m_editServer->ChangeValue(wxString::FromUTF8(settings.m_server));
  m_spinPort->SetText(PortText(settings.m_port));
  SelectIndex(*m_cbInterval, settings.m_intervalIndex);
  SelectIndex(*m_cbWarnLevel, settings.m_warnLevel);
  SelectIndex(*m_cbMaxOffset, settings.m_maxOffsetIndex);
  const std::string_view hint = InfoOf(m_nKind).portHint;
  XRCCTRL(*this, "IDC_PORT_HINT", wxStaticText)->SetLabel(wxString::FromUTF8(Tr(hint.data())));
  m_btnEnabled->SetValue(settings.m_startUp);
  SetTitle(wxString::FromUTF8(Client().Title()));
  m_bInitialized = true;
  m_station.AttachClientView(m_nKind, this);
}

bool CTimeClientDlg::UpdateData() {
  const std::optional<unsigned> port = PortFromText(m_spinPort->Text());
  if (!port) {
    Client().ReportSettingsError(TrCrlf(kPortRefusedText), EINVAL);
    return false;
  }
  ClientSettings& settings = Client().Settings();
  settings.m_server = m_editServer->GetValue().utf8_string();
  settings.m_port = *port;
  settings.m_intervalIndex = m_cbInterval->GetSelection();
  settings.m_warnLevel = m_cbWarnLevel->GetSelection();
  settings.m_maxOffsetIndex = m_cbMaxOffset->GetSelection();
  settings.m_startUp = m_btnEnabled->GetValue();
  return true;
}

void CTimeClientDlg::OnOK() {
  if (!UpdateData()) return;
  DisableKeepingFocus(*m_btnSave);  // Enter, Escape and F1 keep working
  // Nothing was saved after a failure: the button stays available for another try. The client
  // may outlive this window.
  Client().Save([self = wxWeakRef<CTimeClientDlg>(this)](int error) {
    if (self && error != 0) self->m_btnSave->Enable();
  });
}

void CTimeClientDlg::OnEnabledClicked() {
  if (!UpdateData()) {
    m_btnEnabled->SetValue(!m_btnEnabled->GetValue());  // refused: the client stays as it is
    return;
  }
  Client().SetEnabled(Client().Settings().m_startUp);
  OnSettingChanged();
}

void CTimeClientDlg::OnSettingChanged() {
  if (m_bInitialized) m_btnSave->Enable();
}

void CTimeClientDlg::OnInfo() {
  const auto& times = Client().AnswerTimes();
  ShowClientInfo(this, profile_, m_nKind, Client().Answer(), times ? &*times : nullptr);
}

void CTimeClientDlg::OnHelpButton() { ShowHelpTopic(this, kClientHelpTopic); }

void CTimeClientDlg::SetStatusLine(const std::string& text) { m_txtStatus->SetLabel(LogicText(text)); }

void CTimeClientDlg::SetMessages(const std::string& text) { m_txtMessages->SetLabel(LogicText(text)); }

void CTimeClientDlg::SetLastAttempt(const std::string& text) { m_editLastAttempt->ChangeValue(LogicText(text)); }

void CTimeClientDlg::SetLastSync(const std::string& text) { m_editLastSync->ChangeValue(LogicText(text)); }

void CTimeClientDlg::EnableSynchro(bool enabled) { m_btnSynchro->Enable(enabled); }

void CTimeClientDlg::ShowWarning(const std::string& title, const std::string& text, std::function<void()> closed) {
  m_pWarning = ShowWarningBox(this, title, text, [this, closed = std::move(closed)] {
    m_pWarning = nullptr;
    closed();
  });
}

}  // namespace horavex
