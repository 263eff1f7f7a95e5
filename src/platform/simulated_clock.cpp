#include "platform/simulated_clock.h"

#include <cerrno>

namespace horavex {

TimeSource RealTimeSource() {
  return {[] { return std::chrono::nanoseconds(std::chrono::system_clock::now().time_since_epoch()); },
          [] { return std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()); }};
}

SimulatedClock::SimulatedClock(TimeSource source) : m_source(std::move(source)) {}

SimulatedClock::~SimulatedClock() { CloseQueue(); }

std::chrono::nanoseconds SimulatedClock::Now() { return m_source.now() + std::chrono::nanoseconds(m_offset.load()); }

std::chrono::nanoseconds SimulatedClock::Monotonic() { return m_source.monotonic(); }

int SimulatedClock::StepBy(std::chrono::nanoseconds by) {
  std::lock_guard lock(m_mutex);
  const std::chrono::nanoseconds target = Now() + by;
  if (target < std::chrono::nanoseconds(0)) return EINVAL;
  if (m_failWith != 0) return m_failWith;
  m_offset += by.count();
  m_lastSet = SystemTimeAt(target);
  m_steps.push_back(by);
  return 0;
}

void SimulatedClock::FailSetsWith(int error) {
  std::lock_guard lock(m_mutex);
  m_failWith = error;
}

std::optional<SystemTime> SimulatedClock::LastSet() const {
  std::lock_guard lock(m_mutex);
  return m_lastSet;
}

std::vector<std::chrono::nanoseconds> SimulatedClock::Steps() const {
  std::lock_guard lock(m_mutex);
  return m_steps;
}

}  // namespace horavex
