// The system clock, behind an interface so that the logic can be run against a simulated one.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "protocol/calendar.h"

namespace horavex {

// A set as a request works it out: the time to set, and the clock reading it was worked out
// against. Their difference is the correction, which stays right however late it is applied.
struct ClockSetting {
  SystemTime target;
  SystemTime readAt;
  // target - readAt.
  std::chrono::microseconds Correction() const;
};

// Which way set the clock.
enum class SetWay { kNone, kDirect, kTimedated };

// "clock_settime", "systemd-timedated", or "" for kNone.
const char* SetWayName(SetWay way);

// How a set ended: error 0 and the way that set the clock, or an errno and kNone. Besides what
// clock_settime gives (EPERM, EINVAL), a set through systemd-timedated ends with:
//   EBUSY      the system's automatic time synchronisation is on, so timedated refuses
//   EACCES     the person cancelled or is not allowed (polkit, AccessDenied)
//   ETIMEDOUT  no answer within the wait; the call may still be granted later
//   EALREADY   an earlier call is still waiting for its answer; nothing was asked
//   EPERM      no system bus or no timedated: as if only the direct way had been tried
//   EIO        any other refusal of timedated
struct ClockSetResult {
  int error = 0;
  SetWay way = SetWay::kNone;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Current Unix time in whole seconds, as time() gives it.
  virtual std::int64_t Time() = 0;
  // Current UTC time with milliseconds and day of week.
  virtual SystemTime GetSystemTime() = 0;
  // Sets the clock to a UTC time; 0 on success, otherwise the errno of the failure (EINVAL for
  // a time that IsValidSystemTime refuses, without asking the system).
  virtual int SetSystemTime(const SystemTime& t) = 0;
  // Sets the clock without blocking the caller; `done` is called exactly once, on any thread
  // (possibly before this returns). This default sets `target` through SetSystemTime.
  virtual void SetSystemTimeAsync(const ClockSetting& setting, std::function<void(ClockSetResult)> done);
};

// True when every field lies in its range: year 1601-30827, month 1-12, a day that month has,
// hour, minute, second and milliseconds. The day of week is not looked at.
bool IsValidSystemTime(const SystemTime& t);

// How long a set through systemd-timedated waits for its answer: longer than a person needs for
// the authorisation prompt, shorter than the shortest client interval.
inline constexpr std::chrono::milliseconds kTimedatedWait{45'000};

// The computer's real clock. On Linux: CLOCK_REALTIME; SetSystemTime needs CAP_SYS_TIME, and
// without it SetSystemTimeAsync asks systemd-timedated for the correction and waits at most
// `timedatedWait`. Where this program has no port of its own it is read only: a set gives ENOSYS.
std::unique_ptr<Clock> MakeSystemClock(std::chrono::milliseconds timedatedWait = kTimedatedWait);

}  // namespace horavex
