// Boxes that are modal to one window only: the window they belong to is disabled while they are
// open, and every other window, and the logic behind them, keeps running. No nested event loop.
#pragma once

#include <functional>
#include <string>

class wxDialog;
class wxWindow;

namespace horavex {

// Shows `box` and disables its parent until OK, Cancel, Esc or the close box dismisses it; then
// destroys the box and calls `closed`. Boxes over one parent are counted: the parent is enabled
// again only when the last of them goes, and the keyboard focus then goes back to the control
// that had it before the first opened, or to the parent's default control. A box destroyed with
// its parent is not dismissed: `closed` is not called then.
void ShowWindowModal(wxDialog& box, std::function<void()> closed);

// The number of window-modal boxes open over `owner`.
int OpenWindowModalCount(const wxWindow& owner);

// Gives the keyboard focus of `window` to its default control, or else to its first control that
// can take it: GTK leaves a window whose focused control went away without any, and then Escape,
// Enter and F1 reach nothing.
void FocusDefaultControl(wxWindow& window);

// Disables `control`; when it had the keyboard focus, its window's default control gets it.
void DisableKeepingFocus(wxWindow& control);

// A box with a stop icon, `text` and an OK button, window-modal over `owner`; the box.
wxDialog* ShowWarningBox(wxWindow* owner, const std::string& title, const std::string& text,
                         std::function<void()> closed);

// A box with a question icon, `text` and the buttons "&Ja" and "&Nee", window-modal over `owner`;
// `answered` gets true for Ja and false for Nee. Escape or the close box dismisses it without an
// answer.
wxDialog* ShowQuestionBox(wxWindow* owner, const std::string& title, const std::string& text,
                          std::function<void(bool yes)> answered);

}  // namespace horavex
