#include "about/window/about_dialog.h"

#include "about/credits.h"
#include "about/window/star_crawl_ctrl.h"
#include "gui/theme.h"
#include "gui/window_modal.h"

namespace horavex {
namespace {

// The window's size in dialog units of the template font.
constexpr int kTemplateWidth = 328;
constexpr int kTemplateHeight = 255;

}  // namespace

bool CAboutDlg::Create(wxWindow* parent) {
  if (!wxDialog::Create(parent, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize, wxBORDER_SIMPLE))
    return false;
  SetFont(TemplateFont());
  SetClientSize(ConvertDialogToPixels(wxSize(kTemplateWidth, kTemplateHeight)));
  // The crawl starts, with its first frame, before it has speeds or lines: that frame shows only stars.
  m_crawl = new CStarCrawlCtrl(this, wxPoint(0, 0), GetClientSize());
  m_crawl->SetStarSpeed(30);
  m_crawl->SetScrollStep(2);
  // A blank line stays blank: the catalog's empty text is its header.
  for (const std::string_view line : kCredits) m_crawl->AddLine(line.empty() ? line : std::string_view(Tr(line.data())));
  // Escape closes every window-modal box; Enter, with no button to press, closes this one too.
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER) Close();
    else event.Skip();
  });
  return true;
}

void OpenAboutWindow(wxWindow* owner) {
  if (CAboutDlg* window = OpenWindowModal(std::make_unique<CAboutDlg>(), owner, {})) window->Crawl()->SetFocus();
}

}  // namespace horavex
