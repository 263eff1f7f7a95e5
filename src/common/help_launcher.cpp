#include "common/help_launcher.h"

namespace horavex {

std::string_view HelpPage(std::string_view topic) {
  const auto colons = topic.find("::");
  return colons == std::string_view::npos ? topic : topic.substr(colons + 2);
}

std::intptr_t HelpLauncher::ShowHelpTopic(void* owner, std::string_view topic, unsigned command,
                                          std::uintptr_t /*data*/) {
  if (m_state == State::kNotTried) {
    m_viewer = m_maker();
    m_state = m_viewer ? State::kReady : State::kFailed;
  }
  // Every window asks only to show a topic; other commands of the help control have no viewer here.
  if (m_state != State::kReady || command != 0) return 0;
  return m_viewer->Show(owner, HelpPage(topic));
}

}  // namespace horavex
