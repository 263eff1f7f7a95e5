#include "gui/window_modal.h"

#include <gtk/gtk.h>

#include <map>
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

// Sent to a box by EndWindowModal, the result in its int.
wxDEFINE_EVENT(kEndWindowModalEvent, wxCommandEvent);

// The boxes open over one owner, and the control that had the owner's keyboard focus before the
// first of them opened.
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

GtkWindow* GtkWindowOf(wxWindow& window) {
  GtkWidget* widget = window.GetHandle();
  return widget && GTK_IS_WINDOW(widget) ? GTK_WINDOW(widget) : nullptr;
}

// Makes `box` modal within a GTK window group of its owner's: GTK then gives input only to the
// group's newest modal window, while windows outside the group go on. Disabling the owner would
// do it too, but GTK keeps style data of every control at each change of their sensitivity.
void BlockOwner(wxWindow& owner, wxDialog& box) {
  GtkWindow* ownerWindow = GtkWindowOf(owner);
  GtkWindow* boxWindow = GtkWindowOf(box);
  if (!ownerWindow || !boxWindow) return;
  // An owner that is itself a box is in its owner's group already: the whole chain stays blocked.
  if (!gtk_window_has_group(ownerWindow)) {
    GtkWindowGroup* group = gtk_window_group_new();
    gtk_window_group_add_window(group, ownerWindow);
    g_object_unref(group);  // its windows hold it
  }
  gtk_window_group_add_window(gtk_window_get_group(ownerWindow), boxWindow);
  gtk_window_set_modal(boxWindow, TRUE);  // the grab starts when the box shows, ends when it hides
}

void Acquire(wxWindow& owner) {
  OwnerState& state = Owners()[&owner];
  if (state.open++ > 0) return;
  wxWindow* focus = wxWindow::FindFocus();
  state.focus = focus && wxGetTopLevelParent(focus) == &owner ? focus : nullptr;
}

// One box over `owner` is gone; the last gives the owner back its keyboard focus.
void Release(wxWindow& owner) {
  const auto found = Owners().find(&owner);
  if (found == Owners().end() || --found->second.open > 0) return;
  wxWindow* focus = found->second.focus;
  Owners().erase(found);
  if (owner.IsBeingDeleted()) return;
  if (CanTakeFocus(focus, owner)) focus->SetFocus();
  else FocusDefaultControl(owner);
}

// One open box.
struct OpenBox {
  wxDialog& box;
  wxWindow* owner;
  WindowModal calls;
  bool released = false;
  bool ended = false;

  // Once per box, whether it is dismissed or destroyed with its owner.
  void ReleaseOwner() {
    if (owner && !std::exchange(released, true)) Release(*owner);
  }
};

// Takes `state` by value: a result that deletes the owner at once deletes the box's handlers too.
void End(std::shared_ptr<OpenBox> state, int result) {
  if (std::exchange(state->ended, true)) return;
  state->box.Hide();
  state->ReleaseOwner();
  state->box.Destroy();  // at the next idle time
  if (auto onResult = std::move(state->calls.onResult)) onResult(result);
}

void Ask(const std::shared_ptr<OpenBox>& state, int result) {
  if (!state->ended && (!state->calls.canClose || state->calls.canClose(result))) End(state, result);
}

void BindDismissals(wxDialog& box, const std::shared_ptr<OpenBox>& state) {
  box.Bind(wxEVT_DESTROY, [state](wxWindowDestroyEvent& event) {
    if (event.GetEventObject() == &state->box) state->ReleaseOwner();
    event.Skip();
  });
  box.Bind(wxEVT_BUTTON, [state](wxCommandEvent& event) {
    const int id = event.GetId();
    if (id == wxID_OK || id == wxID_CANCEL || id == wxID_YES || id == wxID_NO) Ask(state, id);
    else event.Skip();
  });
  box.Bind(wxEVT_CLOSE_WINDOW, [state](wxCloseEvent& event) {
    if (event.CanVeto()) Ask(state, wxID_CANCEL);
    else End(state, wxID_CANCEL);
  });
  box.Bind(wxEVT_CHAR_HOOK, [state](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE) Ask(state, wxID_CANCEL);
    else event.Skip();
  });
  box.Bind(kEndWindowModalEvent, [state](wxCommandEvent& event) { End(state, event.GetInt()); });
}

}  // namespace

void OpenWindowModal(wxDialog& box, WindowModal calls) {
  wxWindow* owner = box.GetParent();
  auto state = std::make_shared<OpenBox>(OpenBox{box, owner, std::move(calls)});
  if (owner) {
    // GTK's file chooser knows its parent but is not among its children: as one, it goes with its
    // owner like every other box instead of outliving it.
    if (!owner->GetChildren().Find(&box)) owner->AddChild(&box);
    Acquire(*owner);
    BlockOwner(*owner, box);
  }
  BindDismissals(box, state);
  box.Show();
}

void EndWindowModal(wxDialog& box, int result) {
  wxCommandEvent end(kEndWindowModalEvent);
  end.SetInt(result);
  box.ProcessWindowEvent(end);
}

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
  // Horavex's own words, whatever the toolkit's catalog holds.
  if (wxWindow* yes = box->FindWindow(wxID_YES)) yes->SetLabel(_("&Ja"));
  if (wxWindow* no = box->FindWindow(wxID_NO)) no->SetLabel(_("&Nee"));
  ShowOwnButtonLabels(*box);
  box->SetSizerAndFit(column);
  box->CentreOnParent();
  return box;
}

}  // namespace

wxDialog* ShowWarningBox(wxWindow* owner, const std::string& title, const std::string& text,
                         std::function<void()> closed) {
  wxDialog* box = MakeBox(owner, title, text, wxART_ERROR, wxOK);
  OpenWindowModal(*box, {[closed = std::move(closed)](int) {
                           if (closed) closed();
                         },
                         {}});
  return box;
}

void ShowQuestionBox(wxWindow* owner, const std::string& title, const std::string& text,
                     std::function<void(bool yes)> answered) {
  OpenWindowModal(*MakeBox(owner, title, text, wxART_QUESTION, wxYES_NO),
                  {[answered = std::move(answered)](int result) {
                     if (result == wxID_YES || result == wxID_NO) answered(result == wxID_YES);
                   },
                   {}});
}

}  // namespace horavex
