// CLOCK_REALTIME read and set through clock_gettime / clock_settime, and set through
// systemd-timedated where this program lacks the right to set it itself.
#include <cerrno>
#include <ctime>

#include "platform/clock.h"
#include "platform/linux/timedated_clock.h"

namespace horavex {
namespace {

class SystemClock final : public Clock {
 public:
  explicit SystemClock(std::chrono::milliseconds timedatedWait) : timedated_(timedatedWait) {}

  std::int64_t Time() override { return Now().tv_sec; }

  SystemTime GetSystemTime() override {
    const timespec now = Now();
    return SystemTimeFromUnix(now.tv_sec, static_cast<int>(now.tv_nsec / 1'000'000));
  }

  int SetSystemTime(const SystemTime& t) override {
    // The kernel would take month 13 as the next January: refuse it before it gets that far.
    if (!IsValidSystemTime(t)) return EINVAL;
    const timespec target{static_cast<std::time_t>(UnixFromSystemTime(t)),
                          static_cast<long>(t.wMilliseconds) * 1'000'000L};
    if (clock_settime(CLOCK_REALTIME, &target) != 0) return errno;
    return 0;
  }

  // The direct way first; the system's service only when the kernel said we may not (EPERM), so
  // a time that was refused for itself (EINVAL) never reaches it and nothing is set twice.
  void SetSystemTimeAsync(const ClockSetting& setting, std::function<void(ClockSetResult)> done) override {
    const int error = SetSystemTime(setting.target);
    if (error != EPERM) {
      done({error, error == 0 ? SetWay::kDirect : SetWay::kNone});
      return;
    }
    timedated_.Set(setting.Correction(), [done = std::move(done)](int e) {
      done({e, e == 0 ? SetWay::kTimedated : SetWay::kNone});
    });
  }

 private:
  static timespec Now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
  }

  TimedatedSetter timedated_;
};

}  // namespace

std::unique_ptr<Clock> MakeSystemClock(std::chrono::milliseconds timedatedWait) {
  return std::make_unique<SystemClock>(timedatedWait);
}

}  // namespace horavex
