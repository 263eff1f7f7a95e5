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
  ~ReadOnlyClock() override { CloseQueue(); }
  std::chrono::nanoseconds Now() override { return std::chrono::system_clock::now().time_since_epoch(); }
  std::chrono::nanoseconds Monotonic() override { return std::chrono::steady_clock::now().time_since_epoch(); }
  int StepBy(std::chrono::nanoseconds by) override {
    return Now() + by < std::chrono::nanoseconds(0) ? EINVAL : ENOSYS;
  }
};

}  // namespace

std::unique_ptr<Clock> MakeSystemClock() { return std::make_unique<ReadOnlyClock>(); }

std::unique_ptr<DialupPort> MakeSystemDialupPort() { return MakeConnectedDialupPort(); }

}  // namespace horavex
