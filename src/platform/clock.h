// The system clock, behind an interface so that the logic can be run against a simulated one.
#pragma once

#include <cstdint>
#include <memory>

#include "protocol/time_formats.h"

namespace horavex {

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
};

// True when every field lies in its range: year 1601-30827, month 1-12, a day that month has,
// hour, minute, second and milliseconds. The day of week is not looked at.
bool IsValidSystemTime(const SystemTime& t);

// The computer's real clock (on Linux CLOCK_REALTIME; setting it needs CAP_SYS_TIME). Where
// this program has no port of its own it is read only: a set gives ENOSYS.
std::unique_ptr<Clock> MakeSystemClock();

}  // namespace horavex
