// The system's clock and network where this program has no port of its own: the clock is read
// through the standard library and never set, and the network counts as always there.
#include <cerrno>
#include <chrono>

#include "platform/clock.h"
#include "platform/dialup_port.h"

namespace horavex {
namespace {

class ReadOnlyClock final : public Clock {
 public:
  std::int64_t Time() override { return MillisecondsNow() / 1000; }

  SystemTime GetSystemTime() override {
    const std::int64_t ms = MillisecondsNow();
    return SystemTimeFromUnix(ms / 1000, static_cast<int>(ms % 1000));
  }

  int SetSystemTime(const SystemTime& t) override { return IsValidSystemTime(t) ? ENOSYS : EINVAL; }

 private:
  static std::int64_t MillisecondsNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  }
};

}  // namespace

std::unique_ptr<Clock> MakeSystemClock(std::chrono::milliseconds) { return std::make_unique<ReadOnlyClock>(); }

std::unique_ptr<DialupPort> MakeSystemDialupPort() { return MakeConnectedDialupPort(); }

}  // namespace horavex
