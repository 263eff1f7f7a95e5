#include "gui/window_modal.h"

#include <memory>
#include <optional>
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

namespace {

// A message box of `icon`, `text` and `buttons` (wxOK, wxYES_NO), not yet shown.
wxDialog* MakeBox(wxWindow* owner, const std::string& title, const std::string& text, const wxArtID& icon, long buttons) {
  auto* box = new wxDialog(owner, wxID_ANY, wxString::FromUTF8(title));
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticBitmap(box, wxID_ANY, wxArtProvider::GetBitmapBundle(icon, wxART_MESSAGE_BOX)),
           wxSizerFlags().Border(wxALL, 10));
  row->Add(new wxStaticText(box, wxID_ANY, LogicText(text)), wxSizerFlags(1).CentreVertical().Border(wxALL, 10));
  auto* column = new wxBoxSizer(wxVERTICAL);
  column->Add(row, wxSizerFlags(1).Expand());
  column->Add(box->CreateButtonSizer(buttons), wxSizerFlags().Expand().Border(wxALL, 8));
  box->SetSizerAndFit(column);
  box->CentreOnParent();
  return box;
}

}  // namespace

wxDialog* ShowWarningBox(wxWindow* owner, const std::string& title, const std::string& text,
                         std::function<void()> closed) {
  wxDialog* box = MakeBox(owner, title, text, wxART_ERROR, wxOK);
  ShowWindowModal(*box, std::move(closed));
  return box;
}

wxDialog* ShowQuestionBox(wxWindow* owner, const std::string& title, const std::string& text,
                          std::function<void(bool yes)> answered) {
  wxDialog* box = MakeBox(owner, title, text, wxART_QUESTION, wxYES_NO);
  auto answer = std::make_shared<std::optional<bool>>();
  ShowWindowModal(*box, [answer, answered = std::move(answered)] {
    if (answer->has_value()) answered(**answer);
  });
  // Yes and No answer, then dismiss the box as OK would.
  box->Bind(wxEVT_BUTTON, [box, answer](wxCommandEvent& event) {
    if (event.GetId() != wxID_YES && event.GetId() != wxID_NO) return event.Skip();
    *answer = event.GetId() == wxID_YES;
    wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
    box->ProcessWindowEvent(ok);
  });
  return box;
}

}  // namespace horavex
