// The about window: a caption-less window whose whole client area is the star field with the
// credits crawl. No visible control leads to it; the main window opens it.
#pragma once

#include <wx/dialog.h>

namespace horavex {

class CStarCrawlCtrl;

// CAboutDlg: 328 x 255 dialog units of the template font, a thin border, no caption, no system
// menu, no buttons. Enter and Escape close it.
class CAboutDlg : public wxDialog {
 public:
  // Makes the window, hidden, over `parent`, with the crawl running and the credits added.
  bool Create(wxWindow* parent);
  CStarCrawlCtrl* Crawl() const { return m_crawl; }

 private:
  CStarCrawlCtrl* m_crawl = nullptr;
};

// Opens the about window over `owner`, which takes no input until Enter or Escape closes it; returns
// at once. Every opening starts the crawl again; the star field continues its random sequence.
void OpenAboutWindow(wxWindow* owner);

}  // namespace horavex
