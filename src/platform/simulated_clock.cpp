#include "platform/simulated_clock.h"

#include <cerrno>

namespace horavex {
namespace {

// Floor division, so that a time before 1970 breaks down into a second and a positive remainder.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }

}  // namespace

TimeSource RealTimeSource() {
  return [] {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
  };
}

SimulatedClock::SimulatedClock(TimeSource source) : source_(std::move(source)) {}

UnixMillis SimulatedClock::NowMillis() const { return source_() + offset_.load(); }

std::int64_t SimulatedClock::Time() { return FloorDiv(NowMillis(), 1000); }

SystemTime SimulatedClock::GetSystemTime() {
  const UnixMillis now = NowMillis();
  const std::int64_t seconds = FloorDiv(now, 1000);
  return SystemTimeFromUnix(seconds, static_cast<int>(now - seconds * 1000));
}

int SimulatedClock::SetSystemTime(const SystemTime& t) {
  Observer observer;
  {
    std::lock_guard lock(mutex_);
    if (!IsValidSystemTime(t)) return EINVAL;
    if (failWith_ != 0) return failWith_;
    offset_ = UnixFromSystemTime(t) * 1000 + t.wMilliseconds - source_();
    lastSet_ = t;
    observer = observer_;
  }
  // Outside the lock: an observer may read this clock.
  if (observer) observer(t);
  return 0;
}

void SimulatedClock::SetObserver(Observer observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

void SimulatedClock::FailSetsWith(int error) {
  std::lock_guard lock(mutex_);
  failWith_ = error;
}

std::optional<SystemTime> SimulatedClock::LastSet() const {
  std::lock_guard lock(mutex_);
  return lastSet_;
}

}  // namespace horavex
