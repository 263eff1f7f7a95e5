#include "client/window/client_info_dialog.h"

#include <dlfcn.h>

#include <algorithm>

#include <wx/arrstr.h>
#include <wx/display.h>
#include <wx/settings.h>
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

// GTK's scroll bars show only while the pointer moves over the text: a dump wider than the window
// would look cut off. wx offers no switch; GTK's own is looked up in the running program.
void ShowScrollBarsAlways(wxTextCtrl& edit) {
  using SetOverlay = void (*)(void* scrolledWindow, int overlay);
  static const auto set = reinterpret_cast<SetOverlay>(::dlsym(RTLD_DEFAULT, "gtk_scrolled_window_set_overlay_scrolling"));
  if (set && edit.GetHandle()) set(edit.GetHandle(), 0);
}

// The client size that shows all of `text` in `edit`, within most of the screen and at least the
// template's size.
wxSize SizeForText(wxDialog& window, wxTextCtrl& edit, const wxString& text) {
  wxSize wanted;
  for (const wxString& line : wxSplit(text, '\n', '\0')) wanted.x = std::max(wanted.x, edit.GetTextExtent(line).x);
  const int margin = 2 * edit.GetCharWidth();
  wanted.x += margin + wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, &window);
  const int lines = static_cast<int>(text.Freq('\n')) + (text.EndsWith("\n") ? 0 : 1);
  wanted.y = lines * edit.GetCharHeight() + margin +
             wxSystemSettings::GetMetric(wxSYS_HSCROLL_Y, &window);
  const wxRect screen = wxDisplay(&window).GetClientArea();
  wanted.DecTo(wxSize(screen.width * 9 / 10, screen.height * 9 / 10));
  wanted.IncTo(window.GetClientSize());
  return wanted;
}

}  // namespace

bool CClientInfoDlg::Create(wxWindow* parent, Profile& profile, ClientKind kind,
                            std::span<const std::uint8_t, kAnswerSize> answer, const SntpTimes* times) {
  if (!LoadTemplate(*this, parent, "IDD_CLIENT_INFO", wxSize(kTemplateWidth, kTemplateHeight))) return false;
  ApplyTransparency(profile, kClientInfoWindowSection, *this);
  m_editDump = XRCCTRL(*this, "IDC_DUMP", wxTextCtrl);
  m_editDump->SetFont(wxFont(wxFontInfo(9).Family(wxFONTFAMILY_TELETYPE)));
  m_editDump->SetForegroundColour(kThemeText);
  m_editDump->SetBackgroundColour(kDumpBackground);
  const wxString text = LogicText(InfoText(kind, answer, times));
  m_editDump->ChangeValue(text);
  ShowScrollBarsAlways(*m_editDump);
  SetClientSize(SizeForText(*this, *m_editDump, text));
  BindHelpKey(*this, [this] { ShowHelpTopic(this, kClientInfoHelpTopic); });
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER) Close();
    else event.Skip();
  });
  return true;
}

wxString CClientInfoDlg::GetText() const { return m_editDump ? m_editDump->GetValue() : wxString(); }

CClientInfoDlg* ShowClientInfo(wxWindow* parent, Profile& profile, ClientKind kind,
                               std::span<const std::uint8_t, kAnswerSize> answer, const SntpTimes* times) {
  return OpenWindowModal(std::make_unique<CClientInfoDlg>(), parent, {}, profile, kind, answer, times);
}

}  // namespace horavex
