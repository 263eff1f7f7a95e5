#include "common/settings_saver.h"

#include <asio/bind_executor.hpp>
#include <asio/post.hpp>

#include "common/profile.h"

namespace horavex {

SettingsSaver::SettingsSaver(Profile& profile, Executors executors)
    : profile_(profile),
      executors_(std::move(executors)),
      timer_(executors_.io),
      alive_(std::make_shared<SettingsSaver*>(this)) {}

SettingsSaver::~SettingsSaver() {
  alive_.reset();
  timer_.cancel();
}

void SettingsSaver::Start(std::string section, std::vector<ProfileEntry> entries, Calls calls) {
  pending_.push_back({std::move(calls)});
  if (pending_.size() == 1) ArmTimer();
  profile_.WriteSectionLater(std::move(section), std::move(entries),
                             [alive = std::weak_ptr(alive_), logic = executors_.logic](int error) {
                               asio::post(logic, [alive, error] {
                                 if (auto self = alive.lock()) (*self)->Finished(error);
                               });
                             });
}

void SettingsSaver::Finished(int error) {
  Pending finished = std::move(pending_.front());
  pending_.pop_front();
  if (!pending_.empty()) ArmTimer();
  else ++timerGeneration_;
  // Last: the call may close the window that owns this saver.
  if (finished.calls.done) finished.calls.done(error, finished.slow);
}

void SettingsSaver::ArmTimer() {
  timer_.expires_after(kSlowSave);
  timer_.async_wait(asio::bind_executor(
      executors_.logic, [alive = std::weak_ptr(alive_), generation = ++timerGeneration_](std::error_code ec) {
        if (auto self = alive.lock(); self && !ec) (*self)->OnTimer(generation);
      }));
}

void SettingsSaver::OnTimer(std::uint64_t generation) {
  if (generation != timerGeneration_ || pending_.empty()) return;
  pending_.front().slow = true;
  if (pending_.front().calls.slow) pending_.front().calls.slow();
}

}  // namespace horavex
