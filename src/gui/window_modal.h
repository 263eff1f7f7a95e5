// Boxes that are modal to one window only: while a box is open its owner takes no keyboard or
// mouse input, and every other window, and the logic behind them, keeps running. No nested event
// loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

class wxDialog;
class wxWindow;

namespace horavex {

// What the opener of a window-modal box hears of it.
struct WindowModal {
  // The result (wxID_OK, wxID_CANCEL, wxID_YES, wxID_NO; Escape and the close box give
  // wxID_CANCEL), once the box is hidden and its owner has its input back. The box still exists
  // then (its deletion is pending), so what was chosen in it can be read. A box destroyed with its
  // owner gives no result.
  std::function<void(int result)> onResult;
  // Asked before each dismissal; false keeps the box open, which may end itself later
  // (EndWindowModal). None: every dismissal closes.
  std::function<bool(int result)> canClose;
};

// Shows `box`, made over its owner (its parent), modal to it until OK, Cancel, Yes, No, Escape or
// the close box dismisses it; then calls `calls.onResult` and destroys the box. The owner is kept
// from input by a GTK window group it shares with its boxes, not by disabling it. Boxes over one
// owner are counted (the newest takes the input); when the last goes, the owner's keyboard focus
// goes back to the control that had it before the first opened, or to its default control.
void OpenWindowModal(wxDialog& box, WindowModal calls = {});

// Creates the window of `box` over `owner` (its Create(owner, createArgs...)), centres it on the
// owner and opens it as above; the box, or null when its window could not be made (the box is
// deleted then).
template <class Box, class... Args>
Box* OpenWindowModal(std::unique_ptr<Box> box, wxWindow* owner, WindowModal calls, Args&&... createArgs) {
  if (!box->Create(owner, std::forward<Args>(createArgs)...)) return nullptr;
  box->CentreOnParent();
  OpenWindowModal(*box, std::move(calls));
  return box.release();
}

// Dismisses `box`, opened by OpenWindowModal, with `result`, without asking canClose: how a box
// that said "not yet" closes once it is done.
void EndWindowModal(wxDialog& box, int result);

// The number of window-modal boxes open over `owner`.
int OpenWindowModalCount(const wxWindow& owner);

// Gives the keyboard focus of `window` to its default control, or else to its first control that
// can take it: GTK leaves a window whose focused control went away without any, and then Escape,
// Enter and F1 reach nothing.
void FocusDefaultControl(wxWindow& window);

// Disables `control`; when it had the keyboard focus, its window's default control gets it.
void DisableKeepingFocus(wxWindow& control);

// A box with a stop icon, `text` and an OK button, window-modal over `owner`; `closed` runs when
// it is dismissed. The box.
wxDialog* ShowWarningBox(wxWindow* owner, const std::string& title, const std::string& text,
                         std::function<void()> closed);

// A box with a question icon, `text` and the buttons "&Ja" and "&Nee", window-modal over `owner`;
// `answered` gets true for Ja and false for Nee. Escape or the close box dismisses it without an
// answer.
void ShowQuestionBox(wxWindow* owner, const std::string& title, const std::string& text,
                     std::function<void(bool yes)> answered);

}  // namespace horavex
