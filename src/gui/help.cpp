#include "gui/help.h"

#include <system_error>

#include <wx/html/helpctrl.h>
#include <wx/html/helpfrm.h>
#include <wx/listbox.h>
#include <wx/log.h>
#include <wx/sysopt.h>

namespace horavex {
namespace {

// wx's help window lays its index page out while the page is not shown, at next to no size; the
// page's list then got less height than its scroll bars need and GTK asserts. Its lists get a
// floor of a few rows before the window is first laid out.
class HelpController final : public wxHtmlHelpController {
 protected:
  wxHtmlHelpFrame* CreateHelpFrame(wxHtmlHelpData* data) override {
    wxHtmlHelpFrame* frame = wxHtmlHelpController::CreateHelpFrame(data);
    if (frame) GiveListsRoom(*frame);
    return frame;
  }

 private:
  static void GiveListsRoom(wxWindow& window) {
    for (wxWindow* child : window.GetChildren()) {
      if (dynamic_cast<wxListBox*>(child)) {
        child->SetMinSize(wxSize(-1, 4 * child->GetCharHeight()));
        window.Layout();
      }
      GiveListsRoom(*child);
    }
  }
};

class HtmlHelpViewer final : public HelpViewer {
 public:
  // The help says nothing of its own troubles (a book without contents, a missing page): no message box.
  bool Load(const std::filesystem::path& book) {
    wxLogNull quiet;
    return controller_.AddBook(wxFileName(book.string()));
  }

  bool Show(void* owner, std::string_view page) override {
    if (owner != owner_) {
      // The help window belongs to the window that asked: one made for another owner is closed
      // so that the next Display makes it anew, the book kept loaded.
      controller_.Quit();
      controller_.SetParentWindow(static_cast<wxWindow*>(owner));
      owner_ = owner;
    }
    wxLogNull quiet;
    return controller_.Display(wxString::FromUTF8(page.data(), page.size()));
  }

 private:
  HelpController controller_;
  void* owner_ = nullptr;
};

std::unique_ptr<HelpLauncher>& Installed() {
  static std::unique_ptr<HelpLauncher> launcher;
  return launcher;
}

}  // namespace

HelpLauncher::ViewerMaker HtmlHelpViewerMaker(std::filesystem::path book) {
  return [book = std::move(book)]() -> std::unique_ptr<HelpViewer> {
    std::error_code error;
    if (book.empty() || !std::filesystem::is_regular_file(book, error)) return nullptr;
    // Without this wx asks the desktop's MIME database for each page's type and, finding none
    // on a bare system, shows the pages as their HTML source.
    wxSystemOptions::SetOption("filesys.no-mimetypesmanager", 1);
    auto viewer = std::make_unique<HtmlHelpViewer>();
    if (!viewer->Load(book)) return nullptr;
    return viewer;
  };
}

void InstallHelpLauncher(std::unique_ptr<HelpLauncher> launcher) { Installed() = std::move(launcher); }

HelpLauncher* InstalledHelpLauncher() { return Installed().get(); }

bool ShowHelpTopic(wxWindow* owner, std::string_view topic) {
  HelpLauncher* launcher = InstalledHelpLauncher();
  return launcher && launcher->ShowHelpTopic(owner, topic);
}

}  // namespace horavex
