// Saving a window's settings without the window waiting: the profile is written on its writer
// thread (which may wait up to 10 s for another process's lock), and the outcome comes back on
// the logic executor. A save that takes long is reported while it runs, so the window can say so.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <asio/steady_timer.hpp>

#include "common/executors.h"
#include "common/language.h"
#include "common/profile_section.h"

namespace horavex {

// The texts of a save for a messages field: still busy, done after being busy, and failed (with
// its error number). Marked only: Tr(k...Text.data()) where they are shown.
inline constexpr std::string_view kSavingText = TrNoop("Bezig met bewaren...");
inline constexpr std::string_view kSavedText = TrNoop("Instellingen bewaard");
inline constexpr std::string_view kSaveFailedText = TrNoop("Instellingen NIET te bewaren");
// How long a save may run before it counts as slow.
inline constexpr std::chrono::milliseconds kSlowSave{500};

class SettingsSaver {
 public:
  struct Calls {
    std::function<void()> slow;                            // the save has run kSlowSave and is not done
    std::function<void(int error, bool wasSlow)> done;  // 0 or the errno; whether `slow` was called
  };

  // Times on executors.io, calls on executors.logic; the profile must outlive the saver.
  SettingsSaver(Profile& profile, Executors executors);
  // Nothing is called after this; saves asked are still written.
  ~SettingsSaver();
  SettingsSaver(const SettingsSaver&) = delete;
  SettingsSaver& operator=(const SettingsSaver&) = delete;

  // Writes every key of `settings` into `section`. Saves finish in the order asked.
  template <class Settings>
  void Save(std::string_view section, const Settings& settings, Calls calls) {
    Start(std::string(section), SectionEntries(settings), std::move(calls));
  }
  // Whether a save asked has not finished yet.
  bool Busy() const { return !m_pending.empty(); }

 private:
  struct Pending {
    Calls calls;
    bool slow = false;
  };
  void Start(std::string section, std::vector<ProfileEntry> entries, Calls calls);
  // The oldest save finished with `error`.
  void Finished(int error);
  // Times the oldest save from now.
  void ArmTimer();
  void OnTimer(std::uint64_t generation);

  Profile& m_profile;
  Executors m_executors;
  asio::steady_timer m_timer;
  std::uint64_t m_timerGeneration = 0;
  std::deque<Pending> m_pending;
  std::shared_ptr<SettingsSaver*> m_alive;  // what the writer thread and the timer post back find the saver through
};

}  // namespace horavex
