#include "app/window/main_status_icon.h"

#include <wx/button.h>
#include <wx/xrc/xmlres.h>

#include "app/window/main_dialog.h"
#include "client/window/client_dialog.h"
#include "gui/status_icon.h"
#include "gui/window_modal.h"

namespace horavex {
namespace {

// Presses `button` of `window` as a click would, when it can be pressed (or `always`).
void Press(wxWindow* window, int id, bool always = false) {
  wxWindow* button = window ? window->FindWindow(id) : nullptr;
  if (!button || !(always || button->IsEnabled())) return;
  wxCommandEvent click(wxEVT_BUTTON, id);
  click.SetEventObject(button);
  button->ProcessWindowEvent(click);
}

}  // namespace

MainStatusIcon::MainStatusIcon(CMainDlg& main, bool enabled) : main_(&main) {
  main.SetDashboardObserver([this](const DashboardChange& change) {
    if (model_.OnChange(change) && icon_) icon_->Show(model_);
  });
  Enable(enabled);
}

MainStatusIcon::~MainStatusIcon() {
  if (main_) main_->SetDashboardObserver({});
}

void MainStatusIcon::Enable(bool enabled) {
  if (!enabled) return icon_.reset();
  if (icon_) return;
  icon_ = std::make_unique<StatusIcon>(Actions());
  icon_->Show(model_);
}

StatusIconActions MainStatusIcon::Actions() {
  // The icon goes before this object does, and its actions never run after the icon went.
  return {[this] { if (main_) main_->ShowAndRaise(); }, [this] { Synchronise(); }, [this] { OpenSettings(); },
          [this] { Stop(); }};
}

void MainStatusIcon::Synchronise() {
  // Every started client, as its Synchro button would: what a request shows goes to its window.
  if (main_) main_->GetStation().SynchroAll();
}

void MainStatusIcon::OpenSettings() {
  if (!main_) return;
  // A box already open over the main window (the settings, a question) comes forward with it.
  const bool free = OpenWindowModalCount(*main_) == 0;
  main_->ShowAndRaise();
  if (free) Press(main_, XRCID("IDC_SETTINGS"));
}

void MainStatusIcon::Stop() {
  // Also while a box is open over the main window, which then takes no input of its own.
  if (main_) Press(main_, wxID_CANCEL, true);
}

}  // namespace horavex
