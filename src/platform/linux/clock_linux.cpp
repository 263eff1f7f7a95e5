// CLOCK_REALTIME read and set through clock_gettime / clock_settime.
#include <cerrno>
#include <ctime>

#include "platform/clock.h"

namespace horavex {
namespace {

class SystemClock final : public Clock {
 public:
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

 private:
  static timespec Now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
  }
};

}  // namespace

std::unique_ptr<Clock> MakeSystemClock() { return std::make_unique<SystemClock>(); }

}  // namespace horavex
