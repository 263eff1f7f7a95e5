// The system clock, behind an interface so that the logic can be run against a simulated one.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "protocol/calendar.h"

namespace horavex {

// The truth as a request measured it, kept on the monotonic clock, which no set moves: the Unix
// time the clock should have shown at the moment `monotonic`. The right time at any later moment
// follows from it, whatever steps the clock took meanwhile.
struct ClockAnchor {
  std::chrono::nanoseconds truth{};
  std::chrono::nanoseconds monotonic{};  // Clock::Monotonic() at that moment
  // The truth is known to the second only (Time, Daytime): the clock keeps its own fraction of a
  // second, so the correction is rounded to whole seconds when it is worked out.
  bool wholeSeconds = false;
};

// Which way set the clock.
enum class SetWay { kNone, kDirect, kTimedated };

// "clock_adjtime", "systemd-timedated", or "" for kNone.
const char* SetWayName(SetWay way);

// How a set ended: error 0 and the way that set the clock, or an errno and kNone. Besides what
// the kernel gives (EPERM, EINVAL), a set through systemd-timedated ends with:
//   EBUSY      the system's automatic time synchronisation is on, so timedated refuses
//   EACCES     the person cancelled or is not allowed (polkit)
//   ETIMEDOUT  not done by its deadline; `pending` says whether the system may still apply it
//   EPERM      no system bus or no timedated: as if only the direct way had been tried
//   EIO        any other refusal of timedated
struct ClockSetResult {
  int error = 0;
  SetWay way = SetWay::kNone;
  std::chrono::nanoseconds correction{};  // the move asked of the system, worked out as the set began
  std::chrono::nanoseconds target{};      // the Unix time it moved the clock to
  bool waited = false;                    // it waited for another set or for a person's consent first
  bool pending = false;                   // asked and not answered: the system may still apply it
};

// Where a set stands.
enum class SetStage { kQueued, kAuthorising, kSent, kEnded, kWithdrawn };

// A set in the clock's queue, as the one who asked it sees it. Thread-safe.
class ClockSetTicket {
 public:
  // Keeps a set that has not begun from ever beginning; true when it had not (nothing is set and
  // `done` is never called), false when it runs or ran.
  bool Withdraw();
  SetStage Stage() const { return m_stage.load(); }
  // For the clock: moves the set on; from kQueued only through Begin.
  bool Begin();
  void Advance(SetStage stage) { m_stage = stage; }

 private:
  std::atomic<SetStage> m_stage{SetStage::kQueued};
};

// What one set tells the one who asked it, on any thread.
struct ClockSetCalls {
  std::function<void()> waiting;             // the set waits for another first (may come more than once)
  std::function<void(ClockSetResult)> done;  // how it ended: once, unless it was withdrawn first
};

class Clock {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  virtual ~Clock() = default;
  // Current Unix time, as precisely as the system gives it.
  virtual std::chrono::nanoseconds Now() = 0;
  // A clock that no set moves (CLOCK_MONOTONIC), for the time between two moments.
  virtual std::chrono::nanoseconds Monotonic() = 0;
  // Moves the clock by `by` at once; 0, or the errno of the failure (EINVAL, without asking the
  // system, for a time before 1970, which the system cannot show).
  virtual int StepBy(std::chrono::nanoseconds by) = 0;

  // Current Unix time in whole seconds, as time() gives it.
  std::int64_t Time();
  // What the clock must be moved by now to show the truth `anchor` holds, and the time it then
  // shows (error 0, way kNone).
  ClockSetResult WorkOut(const ClockAnchor& anchor);

  // Sets the clock to the truth `anchor` holds. Every set of this clock waits its turn in one
  // queue, in the order asked, and its correction is worked out from its anchor only as it
  // begins, so that a step made meanwhile (by a set before it, or by anyone else) is not made
  // again. A set whose turn comes after `deadline` fails with ETIMEDOUT, asking nothing. The
  // calls may come before this returns.
  std::shared_ptr<ClockSetTicket> Set(const ClockAnchor& anchor, Deadline deadline, ClockSetCalls calls);
  // The stage of the set under way, else kQueued when one waits, else kEnded.
  SetStage CurrentStage();

 protected:
  // What one set calls as it goes, on any thread.
  struct SetSteps {
    std::function<void()> waiting;                // it waits for a set of another process first
    std::function<void(ClockSetResult)> report;   // its outcome, once
    std::function<void()> finished;               // once, after report: the next set may begin
  };
  // Makes one set, its correction worked out from `anchor` as late as the way allows, and moves
  // `ticket` through its stages. This default steps the clock at once.
  virtual void SetOne(const ClockAnchor& anchor, Deadline deadline, std::shared_ptr<ClockSetTicket> ticket,
                      SetSteps steps);
  // Drops the sets still waiting and starts no other: a derived clock calls it first in its
  // destructor, before it takes away what a set uses.
  void CloseQueue();

 private:
  struct Queued {
    ClockAnchor anchor;
    Deadline deadline;
    std::shared_ptr<ClockSetTicket> ticket;
    ClockSetCalls calls;
    bool waited = false;
  };
  // Begins the next set that is still wanted, unless one runs or the queue is closed.
  void BeginNext();

  std::mutex m_mutex;  // guards the members below
  std::deque<Queued> m_queue;
  std::shared_ptr<ClockSetTicket> m_current;
  bool m_closed = false;
};

// The SystemTime of a Unix time, milliseconds rounded down.
SystemTime SystemTimeAt(std::chrono::nanoseconds unixTime);

// How long a set may take from the moment it was asked: longer than a person needs for the
// authorisation prompt, shorter than the shortest client interval.
inline constexpr std::chrono::milliseconds kSetBound{45'000};

// The computer's real clock. On Linux: CLOCK_REALTIME, moved with clock_adjtime, which needs
// CAP_SYS_TIME; without it a set asks systemd-timedated, after polkit's consent. Where this
// program has no port of its own it is read only: a set gives ENOSYS.
std::unique_ptr<Clock> MakeSystemClock();

}  // namespace horavex
