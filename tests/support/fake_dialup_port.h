// A dial-up port for tests: a scripted connection state and dial results, fake time that moves
// only with the port's own pauses and dials, and a log of the calls that change something.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/dialup_port.h"

namespace horavex::testing {

class FakeDialupPort final : public DialupPort {
 public:
  // "dial NAME", "hangup HANDLE", "pause MS", "cancel", in order; shared, so that a test can read
  // it after the port is gone.
  struct Log {
    std::mutex mutex;
    std::vector<std::string> calls;
  };
  // The script; set it while no call is under way.
  bool connected = true;
  bool modem = false;
  std::deque<DialOutcome> dials;            // outcomes of the next dials, in order, the last repeating; none: connected
  bool modemFollowsDial = false;            // a dial raises the modem flag, hanging up drops it
  std::chrono::milliseconds dialTakes{0};   // fake time per dial
  std::chrono::milliseconds dialBlocks{0};  // real time a dial waits for Cancel
  std::shared_ptr<Log> log = std::make_shared<Log>();

  std::vector<std::string> Calls() const {
    std::lock_guard lock(log->mutex);
    return log->calls;
  }
  ConnectedState GetConnectedState() override { return {connected, modem}; }
  DialResult Dial(const std::string& name) override {
    std::unique_lock lock(log->mutex);
    wake_.wait_for(lock, dialBlocks, [this] { return cancelled_; });
    now_ += dialTakes;
    const DialOutcome outcome = cancelled_ ? DialOutcome::Failed : dials.empty() ? DialOutcome::Connected : dials.front();
    if (dials.size() > 1) dials.pop_front();
    Add("dial " + name);
    if (outcome == DialOutcome::Busy) return DialResult::Busy();
    if (outcome == DialOutcome::Failed) return DialResult::Failed(cancelled_ ? ECANCELED : EIO);
    connected |= modemFollowsDial, modem |= modemFollowsDial;
    return DialResult::Connected(++lastHandle_);
  }
  void HangUp(DialHandle handle) override {
    std::lock_guard lock(log->mutex);
    if (modemFollowsDial && handle == lastHandle_) modem = false;
    Add("hangup " + std::to_string(handle));
  }
  void Pause(std::chrono::milliseconds d) override {
    std::lock_guard lock(log->mutex);
    now_ += d, Add("pause " + std::to_string(d.count()));
  }
  void Cancel() override {
    std::lock_guard lock(log->mutex);
    cancelled_ = true, Add("cancel"), wake_.notify_all();
  }
  std::chrono::steady_clock::time_point Now() override { return now_; }

 private:
  void Add(std::string call) { log->calls.push_back(std::move(call)); }

  std::condition_variable_any wake_;
  bool cancelled_ = false;
  std::chrono::steady_clock::time_point now_{};
  DialHandle lastHandle_ = 0;
};

}  // namespace horavex::testing
