#include "common/help_launcher.h"

namespace horavex {

bool HelpLauncher::ShowHelpTopic(void* owner, std::string_view topic) {
  if (state_ == State::kNotTried) {
    viewer_ = maker_();
    state_ = viewer_ ? State::kReady : State::kFailed;
  }
  return state_ == State::kReady && viewer_->Show(owner, topic);
}

}  // namespace horavex
