#include "client/window/client_info_dialog.h"

#include <wx/textctrl.h>
#include <wx/xrc/xmlres.h>

#include "common/help_launcher.h"
#include "common/transparency.h"
#include "gui/help.h"
#include "gui/templates.h"
#include "gui/theme.h"
#include "gui/window_alpha.h"
#include "gui/window_modal.h"
#include "protocol/answer_dump.h"

namespace horavex {
namespace {

// The template's size in dialog units of its own font.
constexpr int kTemplateWidth = 183;
constexpr int kTemplateHeight = 88;

// The pale yellow behind the text where the other windows' labels show it over the tile: a GTK
// edit cannot show the tile through its text.
const wxColour kDumpBackground(255, 255, 200);

}  // namespace

bool CClientInfoDlg::Create(wxWindow* parent, Profile& profile, ClientKind kind,
                            std::span<const std::uint8_t, kAnswerSize> answer, const SntpTimes* times) {
  if (!LoadTemplate(*this, parent, "IDD_CLIENT_INFO", wxSize(kTemplateWidth, kTemplateHeight))) return false;
  ApplyTransparency(profile, kClientInfoWindowSection, *this);
  m_editDump = XRCCTRL(*this, "IDC_DUMP", wxTextCtrl);
  m_editDump->SetFont(wxFont(wxFontInfo(9).Family(wxFONTFAMILY_TELETYPE)));
  m_editDump->SetForegroundColour(kThemeText);
  m_editDump->SetBackgroundColour(kDumpBackground);
  m_editDump->ChangeValue(LogicText(InfoText(kind, answer, times)));
  BindHelpKey(*this, [this] { ShowHelpTopic(this, kClientInfoHelpTopic, 0, 0); });
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER) Close();
    else event.Skip();
  });
  return true;
}

wxString CClientInfoDlg::GetText() const { return m_editDump ? m_editDump->GetValue() : wxString(); }

CClientInfoDlg* ShowClientInfo(wxWindow* parent, Profile& profile, ClientKind kind,
                               std::span<const std::uint8_t, kAnswerSize> answer, std::function<void()> closed,
                               const SntpTimes* times) {
  auto* window = new CClientInfoDlg();
  if (!window->Create(parent, profile, kind, answer, times)) {
    delete window;
    return nullptr;
  }
  if (parent) window->CentreOnParent();
  ShowWindowModal(*window, std::move(closed));
  return window;
}

}  // namespace horavex
