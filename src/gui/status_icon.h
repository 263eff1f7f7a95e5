// The status icon in the desktop's panel: a StatusNotifierItem with a menu (com.canonical.dbusmenu),
// made by libayatana-appindicator3, which the panels of KDE Plasma, XFCE, Cinnamon, MATE and
// GNOME's AppIndicator extension read. Where no panel hosts such icons nothing shows and nothing
// is said; the program runs as without it.
#pragma once

#include <memory>

#include "app/status_icon.h"

namespace horavex {

class StatusIcon {
 public:
  // Puts the program's icon and its four entries on the session bus. The actions run later, from
  // wx's loop, never inside the menu's own signal; none runs once the icon is gone.
  explicit StatusIcon(StatusIconActions actions);
  ~StatusIcon();
  StatusIcon(const StatusIcon&) = delete;
  StatusIcon& operator=(const StatusIcon&) = delete;

  // Shows the model's title, and the attention icon while it asks for attention.
  void Show(const StatusIconModel& model);
  // Whether a panel would show a status icon now: a StatusNotifierWatcher on the session bus with
  // a host registered. Asks the bus, at most half a second.
  static bool HostPresent();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace horavex
