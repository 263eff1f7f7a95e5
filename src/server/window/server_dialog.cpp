#include "server/window/server_dialog.h"

#include <cctype>
#include <cerrno>

#include <wx/button.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tglbtn.h>
#include <wx/weakref.h>
#include <wx/xrc/xmlres.h>

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
constexpr int kTemplateWidth = 301;
constexpr int kTemplateHeight = 68;

// `text` with a zero-width space after each colon inside an IPv6 address. The longest address is
// wider than the messages field and holds no space, so GTK would cut off both its ends (the text
// is centred); it may now break the address between its groups.
std::string BreakableAddresses(const std::string& text) {
  const auto inAddress = [&](std::size_t i) {
    return i < text.size() && (std::isxdigit(static_cast<unsigned char>(text[i])) || text[i] == ':');
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == ':' && i > 0 && inAddress(i - 1) && inAddress(i + 1)) out += "\u200B";
  }
  return out;
}

}  // namespace

CTimeServerDlg::CTimeServerDlg(Station& station, ServerKind kind)
    : m_station(station), m_nKind(kind), profile_(station.GetProfile()) {}

CTimeServerDlg::~CTimeServerDlg() {
  if (m_bInitialized) m_station.AttachServerView(m_nKind, nullptr);
}

bool CTimeServerDlg::Create(wxWindow* parent) {
  if (!LoadTemplate(*this, parent, "IDD_TIME_SERVER", wxSize(kTemplateWidth, kTemplateHeight))) return false;
  m_spinPort = PlacePortSpin(*this, "IDC_PORT");
  m_btnEnabled = XRCCTRL(*this, "IDC_ENABLED", wxToggleButton);
  m_editRequests = XRCCTRL(*this, "IDC_REQUESTS", wxTextCtrl);
  m_txtMessages = XRCCTRL(*this, "IDC_MESSAGES", wxStaticText);
  m_btnSave = XRCCTRL(*this, "wxID_OK", wxButton);
  ApplyTheme(*this, {FindWindow("IDC_MESSAGES_FIELD"), m_txtMessages});
  BindHelpKey(*this, [this] { OnHelpButton(); });
  // The text is what counts: the arrows change it too, and GTK's number may differ from it.
  m_spinPort->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { OnPortChanged(); });
  m_btnEnabled->Bind(wxEVT_TOGGLEBUTTON, [this](wxCommandEvent&) { OnEnabledClicked(); });
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnHelpButton(); }, wxID_HELP);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { OnOK(); }, wxID_OK);
  OnInitDialog();
  return true;
}

void CTimeServerDlg::OnInitDialog() {
  ApplyTransparency(profile_, kServerWindowSection, *this);
  // Filling the port edit reports a change; m_bInitialized keeps it from enabling the save button.
  m_spinPort->SetText(PortText(Server().Port()));
  m_btnEnabled->SetValue(Server().StartUp());
  const std::string_view title = InfoOf(m_nKind).title;
  SetTitle(wxString::FromUTF8(title.data(), title.size()));
  m_bInitialized = true;
  m_station.AttachServerView(m_nKind, this);
}

void CTimeServerDlg::OnPortChanged() {
  if (m_bInitialized) m_btnSave->Enable();
}

void CTimeServerDlg::OnEnabledClicked() {
  if (!UpdateData()) {
    m_btnEnabled->SetValue(!m_btnEnabled->GetValue());  // refused: the server stays as it is
    return;
  }
  Server().SetEnabled(m_btnEnabled->GetValue());
  OnPortChanged();
}

void CTimeServerDlg::OnOK() {
  if (!UpdateData()) return;
  DisableKeepingFocus(*m_btnSave);  // Enter, Escape and F1 keep working
  // Nothing was saved after a failure: the button stays available for another try.
  // The server may outlive this window.
  Server().Save([self = wxWeakRef<CTimeServerDlg>(this)](int error) {
    if (self && error != 0) self->m_btnSave->Enable();
  });
}

void CTimeServerDlg::OnHelpButton() { ShowHelpTopic(this, kServerHelpTopic); }

bool CTimeServerDlg::UpdateData() {
  const std::optional<unsigned> port = PortFromText(m_spinPort->Text());
  if (!port) {
    Server().ReportError(kCreateFailedText, EINVAL);
    return false;
  }
  Server().SetPort(*port);
  return true;
}

void CTimeServerDlg::ShowRequestLog(const std::string& text) { ShowMessage(BreakableAddresses(text)); }

void CTimeServerDlg::ShowError(const std::string& text) { ShowMessage(text); }

void CTimeServerDlg::SetRequestText(const std::string& text) { m_editRequests->ChangeValue(wxString::FromUTF8(text)); }

void CTimeServerDlg::ShowMessage(const std::string& text) { m_txtMessages->SetLabel(LogicText(text)); }

}  // namespace horavex
