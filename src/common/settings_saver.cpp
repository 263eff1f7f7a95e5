#include "common/settings_saver.h"

#include <asio/bind_executor.hpp>
#include <asio/post.hpp>

#include "common/profile.h"

namespace horavex {

SettingsSaver::SettingsSaver(Profile& profile, Executors executors)
    : m_profile(profile),
      m_executors(std::move(executors)),
      m_timer(m_executors.io),
      m_alive(std::make_shared<SettingsSaver*>(this)) {}

SettingsSaver::~SettingsSaver() {
  m_alive.reset();
  m_timer.cancel();
}

void SettingsSaver::Start(std::string section, std::vector<ProfileEntry> entries, Calls calls) {
  m_pending.push_back({std::move(calls)});
  if (m_pending.size() == 1) ArmTimer();
  m_profile.WriteSectionLater(std::move(section), std::move(entries),
                             [alive = std::weak_ptr(m_alive), logic = m_executors.logic](int error) {
                               asio::post(logic, [alive, error] {
                                 if (auto self = alive.lock()) (*self)->Finished(error);
                               });
                             });
}

void SettingsSaver::Finished(int error) {
  Pending finished = std::move(m_pending.front());
  m_pending.pop_front();
  if (!m_pending.empty()) ArmTimer();
  else ++m_timerGeneration;
  // Last: the call may close the window that owns this saver.
  if (finished.calls.done) finished.calls.done(error, finished.slow);
}

void SettingsSaver::ArmTimer() {
  m_timer.expires_after(kSlowSave);
  m_timer.async_wait(asio::bind_executor(
      m_executors.logic, [alive = std::weak_ptr(m_alive), generation = ++m_timerGeneration](std::error_code ec) {
        if (auto self = alive.lock(); self && !ec) (*self)->OnTimer(generation);
      }));
}

void SettingsSaver::OnTimer(std::uint64_t generation) {
  if (generation != m_timerGeneration || m_pending.empty()) return;
  m_pending.front().slow = true;
  if (m_pending.front().calls.slow) m_pending.front().calls.slow();
}

}  // namespace horavex
