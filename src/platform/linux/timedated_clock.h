// Setting the clock through systemd-timedated (SetTime on the system bus), the way a program
// without CAP_SYS_TIME may: polkit decides, and may ask the person at the desktop first.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace horavex {

class TimedatedSetter {
 public:
  // `wait`: how long a caller waits for timedated's answer.
  explicit TimedatedSetter(std::chrono::milliseconds wait);
  // Cancels a call still under way and waits for its thread.
  ~TimedatedSetter();
  TimedatedSetter(const TimedatedSetter&) = delete;
  TimedatedSetter& operator=(const TimedatedSetter&) = delete;

  // Asks timedated to move the clock by `correction` (relative, interactive). `done` gets 0 or
  // an errno as ClockSetResult lists them, exactly once: on the call's own thread, or at once
  // with EALREADY while an earlier call has not had its answer. Called from one thread at a time.
  void Set(std::chrono::microseconds correction, std::function<void(int)> done);

 private:
  struct Call;

  const std::chrono::milliseconds wait_;
  std::mutex mutex_;
  bool busy_ = false;
  std::shared_ptr<Call> current_;
  std::thread thread_;
};

}  // namespace horavex
