#include "common/help_launcher.h"

namespace horavex {

bool HelpLauncher::ShowHelpTopic(void* owner, std::string_view topic) {
  if (m_state == State::kNotTried) {
    m_viewer = m_maker();
    m_state = m_viewer ? State::kReady : State::kFailed;
  }
  return m_state == State::kReady && m_viewer->Show(owner, topic);
}

}  // namespace horavex
