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
  // Sets the clock to a UTC time; 0 on success, otherwise the errno of the failure.
  virtual int SetSystemTime(const SystemTime& t) = 0;
};

// The computer's real clock (CLOCK_REALTIME). Setting it needs CAP_SYS_TIME.
std::unique_ptr<Clock> MakeSystemClock();

}  // namespace horavex
