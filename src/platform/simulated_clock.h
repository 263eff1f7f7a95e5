// A clock that sets nothing: a dry run ("show what would have been set") for users, and the
// clock of tests, where time moves only when the test moves it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/clock.h"

namespace horavex {

// Unix time in milliseconds.
using UnixMillis = std::int64_t;

// Where a simulated clock reads the time passing: the Unix time, and a reading that no step of
// that time moves (CLOCK_MONOTONIC for the real time).
struct TimeSource {
  std::function<std::chrono::nanoseconds()> now;
  std::function<std::chrono::nanoseconds()> monotonic;
};

// The computer's clock, read only.
TimeSource RealTimeSource();

// A time that moves only when told to, which no one steps: its monotonic reading is the time
// itself. Thread-safe.
class ManualTimeSource {
 public:
  explicit ManualTimeSource(UnixMillis start) : m_now(start * 1'000'000) {}
  UnixMillis Now() const { return m_now.load() / 1'000'000; }
  void Advance(std::chrono::nanoseconds by) { m_now += by.count(); }
  // A source that reads this object; the object must outlive every clock that uses it.
  TimeSource Source() {
    const auto read = [this] { return std::chrono::nanoseconds(m_now.load()); };
    return {read, read};
  }

 private:
  std::atomic<std::int64_t> m_now;  // nanoseconds
};

// Reads its source plus an offset. A step moves the offset, so later reads show the time set, and
// is recorded; the computer's clock is never touched. Thread-safe: the servers read it on the io
// thread while a client sets it on the logic thread, so a read takes no lock (the offset is
// atomic) and cannot wait behind a set.
class SimulatedClock final : public Clock {
 public:
  explicit SimulatedClock(TimeSource source = RealTimeSource());
  ~SimulatedClock() override;

  std::chrono::nanoseconds Now() override;
  std::chrono::nanoseconds Monotonic() override;
  // 0, or the error told by FailSetsWith (nothing recorded then), or EINVAL for a time before 1970.
  int StepBy(std::chrono::nanoseconds by) override;

  // Makes later steps fail with `error` (an errno); 0 makes them succeed again.
  void FailSetsWith(int error);
  // The time the last successful step set, if any.
  std::optional<SystemTime> LastSet() const;
  // Every successful step, in order.
  std::vector<std::chrono::nanoseconds> Steps() const;

 private:
  const TimeSource m_source;
  std::atomic<std::int64_t> m_offset = 0;  // nanoseconds
  mutable std::mutex m_mutex;              // guards the members below
  int m_failWith = 0;
  std::optional<SystemTime> m_lastSet;
  std::vector<std::chrono::nanoseconds> m_steps;
};

}  // namespace horavex
