// The status icon as logic: what its title says and whether it asks for attention, followed from
// the dashboard's changes, and the four things its menu does. The icon itself (a
// StatusNotifierItem, drawn by the desktop's panel) is the window side's; this part runs headless.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "app/dashboard.h"
#include "common/language.h"

namespace horavex {

// What the menu's entries do, on the logic thread; each may be empty.
struct StatusIconActions {
  std::function<void()> show;         // "Horavex tonen": as a second start does
  std::function<void()> synchronise;  // "Nu synchroniseren": Synchro on every started client
  std::function<void()> settings;     // "Instellingen...": the settings window
  std::function<void()> stop;         // "Stoppen": as " &Q: Stoppen" does
};

class StatusIconModel {
 public:
  // The menu's labels, in its order; marked only, Tr() where they are shown.
  static constexpr std::array<const char*, 4> kMenuLabels = {TrNoop("Horavex tonen"), TrNoop("Nu synchroniseren"),
                                                            TrNoop("Instellingen..."), TrNoop("Stoppen")};

  // Takes one change of the dashboard; true when the title or the attention changed with it.
  bool OnChange(const DashboardChange& change);
  // "Laatste synchronisatie 12:14:59 (SNTP)", or "Laatste synchronisatie Nog Niet" before any.
  std::string Title() const;
  // While any client stands at "Err:Stop".
  bool Attention() const;

 private:
  LastSyncTexts m_lastSync;
  std::array<bool, kClientKindCount> m_stopped{};
};

}  // namespace horavex
