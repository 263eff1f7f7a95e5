// A dial-up port for tests: a scripted connection state and scripted dial results, fake time
// that moves only with the port's own pauses and dials, and a record of every call.
#pragma once

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dialup_port.h"

namespace horavex {

class FakeDialupPort final : public DialupPort {
 public:
  struct Call {
    enum class Kind { kGetConnectedState, kDial, kHangUp, kPause, kCancel };
    Kind kind;
    std::string name;                    // kDial
    DialHandle handle = 0;               // kHangUp, and kDial when it succeeded
    int result = 0;                      // kDial
    std::chrono::milliseconds pause{0};  // kPause
  };
  using Kind = Call::Kind;

  // What GetConnectedState reports.
  void SetConnected(bool connected, unsigned flags) {
    std::lock_guard lock(mutex_);
    connected_ = connected;
    flags_ = flags;
  }
  // Results of the next dials, in order; after them every dial gives `otherwise`.
  void ScriptDials(std::vector<int> results, int otherwise = 0) {
    std::lock_guard lock(mutex_);
    script_.assign(results.begin(), results.end());
    otherwise_ = otherwise;
  }
  // A successful dial raises the modem flag (and the connection); hanging up the last one drops it.
  void SetModemFollowsDial(bool follows) {
    std::lock_guard lock(mutex_);
    modemFollowsDial_ = follows;
  }
  // Fake time that one dial takes.
  void SetDialDuration(std::chrono::milliseconds d) {
    std::lock_guard lock(mutex_);
    dialDuration_ = d;
  }
  // Dials wait until Cancel (at most `bound` of real time), then fail with ECANCELED.
  void SetDialsBlockUntilCancel(std::chrono::milliseconds bound) {
    std::lock_guard lock(mutex_);
    blockBound_ = bound;
  }

  // Every call so far, in order.
  std::vector<Call> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  // How many calls of one kind were made.
  int CountOf(Kind kind) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const Call& c : calls_) n += c.kind == kind ? 1 : 0;
    return n;
  }
  // The handles hung up, in order.
  std::vector<DialHandle> HungUp() const {
    std::lock_guard lock(mutex_);
    std::vector<DialHandle> handles;
    for (const Call& c : calls_)
      if (c.kind == Kind::kHangUp) handles.push_back(c.handle);
    return handles;
  }
  // Whether Cancel was called.
  bool Cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
  }

  bool GetConnectedState(unsigned& flags) override {
    std::lock_guard lock(mutex_);
    calls_.push_back({Kind::kGetConnectedState, {}, 0, 0, {}});
    flags = flags_;
    return connected_;
  }

  int Dial(const std::string& name, DialHandle& handle) override {
    std::unique_lock lock(mutex_);
    if (blockBound_.count() > 0) wake_.wait_for(lock, blockBound_, [this] { return cancelled_; });
    now_ += dialDuration_;
    int result = otherwise_;
    if (!script_.empty()) {
      result = script_.front();
      script_.pop_front();
    }
    if (cancelled_) result = ECANCELED;
    if (result == 0) {
      handle = ++lastHandle_;
      if (modemFollowsDial_) {
        connected_ = true;
        flags_ |= kConnectionModem;
      }
    }
    calls_.push_back({Kind::kDial, name, result == 0 ? handle : 0, result, {}});
    return result;
  }

  void HangUp(DialHandle handle) override {
    std::lock_guard lock(mutex_);
    calls_.push_back({Kind::kHangUp, {}, handle, 0, {}});
    if (modemFollowsDial_ && handle == lastHandle_) flags_ &= ~kConnectionModem;
  }

  void Pause(std::chrono::milliseconds duration) override {
    std::lock_guard lock(mutex_);
    calls_.push_back({Kind::kPause, {}, 0, 0, duration});
    if (!cancelled_) now_ += duration;
  }

  void Cancel() override {
    {
      std::lock_guard lock(mutex_);
      cancelled_ = true;
      calls_.push_back({Kind::kCancel, {}, 0, 0, {}});
    }
    wake_.notify_all();
  }

  // Fake time: moved only by pauses and by the dial duration.
  std::chrono::steady_clock::time_point Now() override {
    std::lock_guard lock(mutex_);
    return now_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool connected_ = false;
  unsigned flags_ = 0;
  std::deque<int> script_;
  int otherwise_ = 0;
  bool modemFollowsDial_ = false;
  bool cancelled_ = false;
  std::chrono::milliseconds dialDuration_{0};
  std::chrono::milliseconds blockBound_{0};
  std::chrono::steady_clock::time_point now_{};
  DialHandle lastHandle_ = 0;
  std::vector<Call> calls_;
};

}  // namespace horavex
