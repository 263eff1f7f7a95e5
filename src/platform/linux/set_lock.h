// The per-user lock that a set of the clock through systemd-timedated holds from before it asks
// for consent until its answer came: another process of the same user waits for it instead of
// asking for the same correction again. The file records a SetTime that went out and whose
// answer was not seen, so the next holder knows a correction may still have landed.
#pragma once

#include <filesystem>

namespace horavex {

// A folder of this user's own: $XDG_RUNTIME_DIR/horavex, else horavex-<uid> in the temporary
// folder; made with mode 700 when missing, and given only when it is a directory (no link) that
// this user owns and no one else may enter. Empty when there is none.
std::filesystem::path OwnRuntimeDir();

class SetLock {
 public:
  SetLock() = default;
  ~SetLock();
  SetLock(const SetLock&) = delete;
  SetLock& operator=(const SetLock&) = delete;

  enum class Outcome { kTaken, kBusy, kNone };
  // Takes the lock without waiting: kBusy while another process holds it, kNone when there is no
  // own folder to hold it in (a set then goes on without it).
  Outcome TryTake();
  // What the holder before left: true when its SetTime had no answer when it ended.
  bool FoundUnanswered() const { return m_foundUnanswered; }
  // Records that a SetTime went out, and that its answer came.
  void MarkSent();
  void MarkAnswered();

 private:
  int m_fd = -1;
  bool m_foundUnanswered = false;
};

}  // namespace horavex
