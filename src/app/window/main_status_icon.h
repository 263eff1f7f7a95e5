// The main window's status icon: shown while the profile's "StatusIcon" is on, turned on and off
// at once by the settings window's check box. Its title and attention follow the main window's
// refresh; its menu reaches the main window only while that window exists.
#pragma once

#include <memory>

#include <wx/weakref.h>

#include "app/status_icon.h"

namespace horavex {

class CMainDlg;
class StatusIcon;

class MainStatusIcon {
 public:
  // Follows `main`'s refresh from now on; shows the icon when `enabled`.
  MainStatusIcon(CMainDlg& main, bool enabled);
  ~MainStatusIcon();
  MainStatusIcon(const MainStatusIcon&) = delete;
  MainStatusIcon& operator=(const MainStatusIcon&) = delete;

  // Shows or removes the icon; a new one shows the last synchronisation at once.
  void Enable(bool enabled);

 private:
  StatusIconActions Actions();
  void Synchronise();
  void OpenSettings();
  void Stop();

  wxWeakRef<CMainDlg> main_;
  StatusIconModel model_;
  std::unique_ptr<StatusIcon> icon_;
};

}  // namespace horavex
