// CLOCK_REALTIME read with clock_gettime and moved with clock_adjtime, or through
// systemd-timedated where this program lacks the right to move it itself.
#include <sys/timex.h>

#include <cerrno>
#include <ctime>

#include "platform/clock.h"
#include "platform/linux/timedated_clock.h"

namespace horavex {
namespace {

std::chrono::nanoseconds Read(clockid_t id) {
  timespec now{};
  clock_gettime(id, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

class SystemClock final : public Clock {
 public:
  // The queue closes before the setter goes, so a set that ends during its wind-down starts none.
  ~SystemClock() override { CloseQueue(); }

  std::chrono::nanoseconds Now() override { return Read(CLOCK_REALTIME); }
  std::chrono::nanoseconds Monotonic() override { return Read(CLOCK_MONOTONIC); }

  // The kernel adds the offset to the clock as it stands (ADJ_SETOFFSET): no time passes between
  // a reading and a setting that could be lost. In microseconds: ADJ_NANO would switch the
  // kernel's NTP state to nanoseconds for every other program that reads it.
  int StepBy(std::chrono::nanoseconds by) override {
    // A time the kernel refuses for itself never reaches the system's service either.
    if (Now() + by < std::chrono::nanoseconds(0)) return EINVAL;
    const auto us = std::chrono::round<std::chrono::microseconds>(by);
    const auto seconds = std::chrono::floor<std::chrono::seconds>(us);
    timex step{};
    step.modes = ADJ_SETOFFSET;
    step.time.tv_sec = static_cast<time_t>(seconds.count());
    step.time.tv_usec = static_cast<suseconds_t>((us - seconds).count());
    return clock_adjtime(CLOCK_REALTIME, &step) < 0 ? errno : 0;
  }

 protected:
  // The direct way first; the system's service only when the kernel said we may not (EPERM), so
  // a time that was refused for itself (EINVAL) never reaches it and nothing is set twice.
  void SetOne(const ClockAnchor& anchor, Deadline deadline, std::shared_ptr<ClockSetTicket> ticket,
              SetSteps steps) override {
    ClockSetResult direct = WorkOut(anchor);
    direct.error = StepBy(direct.correction);
    if (direct.error != EPERM) {
      direct.way = direct.error == 0 ? SetWay::kDirect : SetWay::kNone;
      ticket->Advance(SetStage::kEnded);
      steps.report(direct);
      steps.finished();
      return;
    }
    m_timedated.Set(deadline, std::move(ticket),
                   {[this, anchor] { return WorkOut(anchor); }, std::move(steps.waiting), std::move(steps.report),
                    std::move(steps.finished)});
  }

 private:
  TimedatedSetter m_timedated;
};

}  // namespace

std::unique_ptr<Clock> MakeSystemClock() { return std::make_unique<SystemClock>(); }

}  // namespace horavex
