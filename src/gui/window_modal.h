// Boxes that are modal to one window only: the window they belong to is disabled while they are
// open, and every other window, and the logic behind them, keeps running. No nested event loop.
#pragma once

#include <functional>
#include <string>

class wxDialog;
class wxWindow;

namespace horavex {

// Shows `box` and disables its parent until OK, Cancel, Esc or the close box dismisses it; then
// enables the parent again, destroys the box and calls `closed`. A box destroyed with its parent
// is not dismissed: `closed` is not called then.
void ShowWindowModal(wxDialog& box, std::function<void()> closed);

// A box with a stop icon, `text` and an OK button, window-modal over `owner`; the box.
wxDialog* ShowWarningBox(wxWindow* owner, const std::string& title, const std::string& text,
                         std::function<void()> closed);

// A box with a question icon, `text` and Yes and No buttons, window-modal over `owner`; `answered`
// gets true for Yes and false for No. Escape or the close box dismisses it without an answer.
wxDialog* ShowQuestionBox(wxWindow* owner, const std::string& title, const std::string& text,
                          std::function<void(bool yes)> answered);

}  // namespace horavex
