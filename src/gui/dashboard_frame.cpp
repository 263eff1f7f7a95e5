#include "gui/dashboard_frame.h"

#include <string_view>

#include <wx/button.h>
#include <wx/sizer.h>

#include "client/window/client_dialog.h"
#include "gui/help.h"
#include "gui/theme.h"
#include "server/window/server_dialog.h"

namespace horavex {
namespace {

// A button titled `title` that shows `window`.
wxButton* ShowButton(wxWindow* frame, std::string_view title, wxWindow* window) {
  auto* button = new wxButton(frame, wxID_ANY, wxString::FromUTF8(title.data(), title.size()));
  button->Bind(wxEVT_BUTTON, [window](wxCommandEvent&) {
    window->Show();
    window->Raise();
  });
  return button;
}

}  // namespace

DashboardFrame::DashboardFrame(const ServerServices& servers, const ClientServices& clients)
    : wxFrame(nullptr, wxID_ANY, "Horavex") {
  SetFont(TemplateFont());
  auto* columns = new wxBoxSizer(wxHORIZONTAL);
  auto* serverColumn = new wxBoxSizer(wxVERTICAL);
  auto* clientColumn = new wxBoxSizer(wxVERTICAL);
  for (int i = 0; i < kServerKindCount; ++i) {
    const auto kind = static_cast<ServerKind>(i);
    auto* dialog = new CTimeServerDlg(kind, servers);
    if (!dialog->Create(this)) {
      delete dialog;
      continue;
    }
    servers_[i] = dialog;
    serverColumn->Add(ShowButton(this, InfoOf(kind).title, dialog), wxSizerFlags().Expand().Border(wxALL, 4));
  }
  for (int i = 0; i < kClientKindCount; ++i) {
    auto* dialog = new CTimeClientDlg(kClientKinds[i], clients);
    if (!dialog->Create(this)) {
      delete dialog;
      continue;
    }
    clients_[i] = dialog;
    clientColumn->Add(ShowButton(this, dialog->Client().Title(), dialog), wxSizerFlags().Expand().Border(wxALL, 4));
  }
  columns->Add(serverColumn);
  columns->Add(clientColumn);
  SetSizerAndFit(columns);
  // The help window belongs to one of the windows about to go: the help goes first, so that it
  // is closed through its controller rather than under it.
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) {
    InstallHelpLauncher(nullptr);
    Destroy();
  });
}

}  // namespace horavex
