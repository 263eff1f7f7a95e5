// Setting the clock through systemd-timedated (SetTime on the system bus), the way a program
// without CAP_SYS_TIME may.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace horavex {

// One set goes: the per-user lock (another process's set pending is waited for, not asked
// again); timedated's automatic synchronisation, which makes it refuse any set; polkit's consent
// for org.freedesktop.timedate1.set-time, which may ask the person at the desktop and is kept a
// few minutes; then SetTime without interaction, relative, its correction worked out at that
// moment. However long the consent takes, the correction is right when it lands, and no SetTime
// is left waiting on a prompt that an interrupted program would leave behind.
class TimedatedSetter {
 public:
  struct Steps {
    std::function<ClockSetResult()> workOut;  // the correction and its target, worked out now
    std::function<void()> waiting;            // another process's set is pending first
    std::function<void(ClockSetResult)> report;
    std::function<void()> finished;
  };

  TimedatedSetter() = default;
  // Ends a set under way (consent still asked is withdrawn from polkit) and waits for its thread.
  ~TimedatedSetter();
  TimedatedSetter(const TimedatedSetter&) = delete;
  TimedatedSetter& operator=(const TimedatedSetter&) = delete;

  // Makes one set on a thread of its own, bounded by `deadline` until SetTime goes out; reports
  // ETIMEDOUT at the deadline (pending once SetTime went out) but finishes only when SetTime has
  // its answer, or after ten times the bound. The next set only after `finished`.
  void Set(Clock::Deadline deadline, std::shared_ptr<ClockSetTicket> ticket, Steps steps);

 private:
  struct Call;

  std::mutex m_mutex;  // guards m_current and m_threads
  std::shared_ptr<Call> m_current;
  std::vector<std::thread> m_threads;
};

}  // namespace horavex
