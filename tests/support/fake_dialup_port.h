// A dial-up port for tests: a scripted connection state and dial results, fake time that moves
// only with the port's own pauses and dials, and a log of the calls that change something.
#pragma once

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dialup_port.h"

namespace horavex::testing {

class FakeDialupPort final : public DialupPort {
 public:
  // The script; set it before the port is in use.
  bool connected = true;
  unsigned flags = 0;
  std::deque<int> dials;                     // results of the next dials, in order
  int otherDials = 0;                        // the result of every dial after them
  bool modemFollowsDial = false;             // a dial raises the modem flag, hanging up drops it
  std::chrono::milliseconds dialTakes{0};    // fake time per dial
  std::chrono::milliseconds dialBlocks{0};   // real time a dial waits for Cancel

  // "dial NAME", "hangup HANDLE", "pause MS", "cancel", in order.
  std::vector<std::string> Log() const {
    std::lock_guard lock(mutex_);
    return log_;
  }

  bool GetConnectedState(unsigned& f) override {
    std::lock_guard lock(mutex_);
    f = flags;
    return connected;
  }
  int Dial(const std::string& name, DialHandle& handle) override {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, dialBlocks, [this] { return cancelled_; });
    now_ += dialTakes;
    int result = otherDials;
    if (!dials.empty()) result = dials.front(), dials.pop_front();
    if (cancelled_) result = ECANCELED;
    if (result == 0) {
      handle = ++lastHandle_;
      if (modemFollowsDial) connected = true, flags |= kConnectionModem;
    }
    log_.push_back("dial " + name);
    return result;
  }
  void HangUp(DialHandle handle) override {
    std::lock_guard lock(mutex_);
    if (modemFollowsDial && handle == lastHandle_) flags &= ~kConnectionModem;
    log_.push_back("hangup " + std::to_string(handle));
  }
  void Pause(std::chrono::milliseconds d) override {
    std::lock_guard lock(mutex_);
    now_ += d;
    log_.push_back("pause " + std::to_string(d.count()));
  }
  void Cancel() override {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    log_.push_back("cancel");
    wake_.notify_all();
  }
  std::chrono::steady_clock::time_point Now() override {
    std::lock_guard lock(mutex_);
    return now_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool cancelled_ = false;
  std::chrono::steady_clock::time_point now_{};
  DialHandle lastHandle_ = 0;
  std::vector<std::string> log_;
};

}  // namespace horavex::testing
