// A clock that sets nothing: a dry run ("show what would have been set") for users, and the
// clock of tests, where time moves only when the test moves it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/clock.h"

namespace horavex {

// Unix time in milliseconds.
using UnixMillis = std::int64_t;
// Where a simulated clock reads the time passing.
using TimeSource = std::function<UnixMillis()>;

// The computer's clock, read only.
TimeSource RealTimeSource();

// A time that moves only when told to. Thread-safe.
class ManualTimeSource {
 public:
  explicit ManualTimeSource(UnixMillis start) : now_(start) {}
  UnixMillis Now() const { return now_.load(); }
  void Advance(std::chrono::milliseconds by) { now_ += by.count(); }
  // A source that reads this object; the object must outlive every clock that uses it.
  TimeSource Source() {
    return [this] { return Now(); };
  }

 private:
  std::atomic<UnixMillis> now_;
};

// Reads its source plus an offset. A set moves the offset, so later reads show the time set, and
// is recorded and reported to the observer; the computer's clock is never touched. Thread-safe:
// the servers read it on the io thread while a client sets it on the logic thread, so a read takes
// no lock (the offset is atomic) and cannot wait behind a set or its observer.
class SimulatedClock final : public Clock {
 public:
  using Observer = std::function<void(const SystemTime&)>;

  explicit SimulatedClock(TimeSource source = RealTimeSource());

  std::int64_t Time() override;
  SystemTime GetSystemTime() override;
  // 0, or the error told by FailSetsWith (nothing recorded then), or EINVAL for an invalid time.
  int SetSystemTime(const SystemTime& t) override;

  // Called after each successful set with the time set, on the setting thread.
  void SetObserver(Observer observer);
  // Makes later sets fail with `error` (an errno); 0 makes them succeed again.
  void FailSetsWith(int error);
  // The time of the last successful set, if any.
  std::optional<SystemTime> LastSet() const;

 private:
  UnixMillis NowMillis() const;

  const TimeSource source_;
  std::atomic<UnixMillis> offset_ = 0;
  mutable std::mutex mutex_;  // guards the members below
  int failWith_ = 0;
  std::optional<SystemTime> lastSet_;
  Observer observer_;
};

}  // namespace horavex
