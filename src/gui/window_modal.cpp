#include "gui/window_modal.h"

#include <map>
#include <memory>
#include <optional>
#include <utility>

#include <wx/artprov.h>
#include <wx/dialog.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/toplevel.h>
#include <wx/weakref.h>

#include "gui/theme.h"

namespace horavex {
namespace {

// The boxes open over one owner, and the control that had the owner's keyboard focus before the
// first of them disabled it.
struct OwnerState {
  int open = 0;
  wxWeakRef<wxWindow> focus;
};

std::map<const wxWindow*, OwnerState>& Owners() {
  static std::map<const wxWindow*, OwnerState> owners;
  return owners;
}

// Whether `control`, inside `window`, is shown, enabled and takes the keyboard focus.
bool CanTakeFocus(wxWindow* control, const wxWindow& window) {
  if (!control || !control->IsEnabled() || !control->AcceptsFocus()) return false;
  for (wxWindow* w = control; w != &window; w = w->GetParent())
    if (!w || !w->IsShown()) return false;
  return true;
}

wxWindow* FirstFocusable(wxWindow& window, const wxWindow& top) {
  for (wxWindow* child : window.GetChildren()) {
    if (child->IsTopLevel()) continue;
    if (CanTakeFocus(child, top)) return child;
    if (wxWindow* inner = FirstFocusable(*child, top)) return inner;
  }
  return nullptr;
}

void Acquire(wxWindow& owner) {
  OwnerState& state = Owners()[&owner];
  if (state.open++ > 0) return;
  wxWindow* focus = wxWindow::FindFocus();
  state.focus = focus && wxGetTopLevelParent(focus) == &owner ? focus : nullptr;
  owner.Disable();
}

// One box over `owner` is gone; the last gives the owner back its keyboard.
void Release(wxWindow& owner) {
  const auto found = Owners().find(&owner);
  if (found == Owners().end() || --found->second.open > 0) return;
  wxWindow* focus = found->second.focus;
  Owners().erase(found);
  if (owner.IsBeingDeleted()) return;
  owner.Enable();
  if (CanTakeFocus(focus, owner)) focus->SetFocus();
  else FocusDefaultControl(owner);
}

}  // namespace

int OpenWindowModalCount(const wxWindow& owner) {
  const auto found = Owners().find(&owner);
  return found == Owners().end() ? 0 : found->second.open;
}

void FocusDefaultControl(wxWindow& window) {
  auto* top = dynamic_cast<wxTopLevelWindow*>(&window);
  wxWindow* target = top ? top->GetDefaultItem() : nullptr;
  if (!CanTakeFocus(target, window)) target = FirstFocusable(window, window);
  (target ? target : &window)->SetFocus();
}

void DisableKeepingFocus(wxWindow& control) {
  const bool focused = wxWindow::FindFocus() == &control;
  control.Disable();
  if (focused) FocusDefaultControl(*wxGetTopLevelParent(&control));
}

void ShowWindowModal(wxDialog& box, std::function<void()> closed) {
  wxWindow* owner = box.GetParent();
  if (owner) Acquire(*owner);
  // Once per box, whether it is dismissed or destroyed with its owner.
  auto released = std::make_shared<bool>(owner == nullptr);
  auto release = [owner, released] {
    if (!std::exchange(*released, true)) Release(*owner);
  };
  auto done = std::make_shared<bool>(false);
  auto dismiss = [&box, release, closed = std::move(closed), done] {
    if (std::exchange(*done, true)) return;
    box.Hide();
    release();
    box.Destroy();
    if (closed) closed();
  };
  box.Bind(wxEVT_DESTROY, [&box, release](wxWindowDestroyEvent& event) {
    if (event.GetEventObject() == &box) release();
    event.Skip();
  });
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
  // Dutch, whatever the toolkit's own catalog holds.
  if (wxWindow* yes = box->FindWindow(wxID_YES)) yes->SetLabel("&Ja");
  if (wxWindow* no = box->FindWindow(wxID_NO)) no->SetLabel("&Nee");
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
