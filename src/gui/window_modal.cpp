#include "gui/window_modal.h"

#include <memory>
#include <utility>

#include <wx/artprov.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "gui/theme.h"

namespace horavex {

void ShowWindowModal(wxDialog& box, std::function<void()> closed) {
  wxWindow* owner = box.GetParent();
  if (owner) owner->Disable();
  auto done = std::make_shared<bool>(false);
  auto dismiss = [&box, owner, closed = std::move(closed), done] {
    if (std::exchange(*done, true)) return;
    if (owner) owner->Enable();
    box.Hide();
    box.Destroy();
    if (closed) closed();
  };
  box.Bind(wxEVT_BUTTON, [dismiss](wxCommandEvent& event) {
    if (event.GetId() == wxID_OK || event.GetId() == wxID_CANCEL) dismiss();
    else event.Skip();
  });
  box.Bind(wxEVT_CLOSE_WINDOW, [dismiss](wxCloseEvent&) { dismiss(); });
  box.Bind(wxEVT_CHAR_HOOK, [dismiss](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE) dismiss();
    else event.Skip();
  });
  box.Show();
}

wxDialog* ShowWarningBox(wxWindow* owner, const std::string& title, const std::string& text,
                         std::function<void()> closed) {
  auto* box = new wxDialog(owner, wxID_ANY, wxString::FromUTF8(title));
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticBitmap(box, wxID_ANY, wxArtProvider::GetBitmapBundle(wxART_ERROR, wxART_MESSAGE_BOX)),
           wxSizerFlags().Border(wxALL, 10));
  row->Add(new wxStaticText(box, wxID_ANY, LogicText(text)), wxSizerFlags(1).CentreVertical().Border(wxALL, 10));
  auto* column = new wxBoxSizer(wxVERTICAL);
  column->Add(row, wxSizerFlags(1).Expand());
  column->Add(box->CreateButtonSizer(wxOK), wxSizerFlags().Expand().Border(wxALL, 8));
  box->SetSizerAndFit(column);
  box->CentreOnParent();
  ShowWindowModal(*box, std::move(closed));
  return box;
}

}  // namespace horavex
