#include "gui/server_frame.h"

#include <wx/button.h>
#include <wx/sizer.h>

#include "gui/help.h"
#include "gui/theme.h"
#include "server/window/server_dialog.h"

namespace horavex {

ServerFrame::ServerFrame(const ServerServices& services) : wxFrame(nullptr, wxID_ANY, "Horavex") {
  SetFont(TemplateFont());
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  for (int i = 0; i < kServerKindCount; ++i) {
    const auto kind = static_cast<ServerKind>(i);
    auto* dialog = new CTimeServerDlg(kind, services);
    if (!dialog->Create(this)) {
      delete dialog;
      continue;
    }
    servers_[i] = dialog;
    const std::string_view title = InfoOf(kind).title;
    auto* button = new wxButton(this, wxID_ANY, wxString::FromUTF8(title.data(), title.size()));
    button->Bind(wxEVT_BUTTON, [dialog](wxCommandEvent&) {
      dialog->Show();
      dialog->Raise();
    });
    sizer->Add(button, wxSizerFlags().Expand().Border(wxALL, 4));
  }
  SetSizerAndFit(sizer);
  // The help window belongs to one of the windows about to go: the help goes first, so that it
  // is closed through its controller rather than under it.
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
    InstallHelpLauncher(nullptr);
    Destroy();
  });
}

}  // namespace horavex
