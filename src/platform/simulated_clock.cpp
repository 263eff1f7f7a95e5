#include "platform/simulated_clock.h"

#include <cerrno>

namespace horavex {

TimeSource RealTimeSource() {
  return {[] { return std::chrono::nanoseconds(std::chrono::system_clock::now().time_since_epoch()); },
          [] { return std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()); }};
}

SimulatedClock::SimulatedClock(TimeSource source) : source_(std::move(source)) {}

SimulatedClock::~SimulatedClock() { CloseQueue(); }

std::chrono::nanoseconds SimulatedClock::Now() { return source_.now() + std::chrono::nanoseconds(offset_.load()); }

std::chrono::nanoseconds SimulatedClock::Monotonic() { return source_.monotonic(); }

int SimulatedClock::StepBy(std::chrono::nanoseconds by) {
  std::lock_guard lock(mutex_);
  const std::chrono::nanoseconds target = Now() + by;
  if (target < std::chrono::nanoseconds(0)) return EINVAL;
  if (failWith_ != 0) return failWith_;
  offset_ += by.count();
  lastSet_ = SystemTimeAt(target);
  steps_.push_back(by);
  return 0;
}

void SimulatedClock::FailSetsWith(int error) {
  std::lock_guard lock(mutex_);
  failWith_ = error;
}

std::optional<SystemTime> SimulatedClock::LastSet() const {
  std::lock_guard lock(mutex_);
  return lastSet_;
}

std::vector<std::chrono::nanoseconds> SimulatedClock::Steps() const {
  std::lock_guard lock(mutex_);
  return steps_;
}

}  // namespace horavex
