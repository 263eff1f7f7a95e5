// The help launcher: every window opens its topic through ShowHelpTopic. The viewer is made on
// first use and kept for the rest of the run; when it cannot be made (no help book), the launcher
// gives up for good and every later request fails at once, showing nothing.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

namespace horavex {

// The windows' topics: pages of the help book (res/help/horavex.hhp).
inline constexpr std::string_view kServerHelpTopic = "server.html";
inline constexpr std::string_view kClientHelpTopic = "client.html";
inline constexpr std::string_view kClientInfoHelpTopic = "clientinfo.html";
inline constexpr std::string_view kMainHelpTopic = "mainscreen.html";
inline constexpr std::string_view kCommonSettingsHelpTopic = "configmain.html";

// Shows pages of the help book. `owner` is the toolkit's window that owns the help window.
class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  // Shows `page` in a help window owned by `owner`; whether one shows it.
  virtual bool Show(void* owner, std::string_view page) = 0;
};

class HelpLauncher {
 public:
  enum class State { kNotTried, kReady, kFailed };
  // Makes the viewer; null when there is no help book.
  using ViewerMaker = std::function<std::unique_ptr<HelpViewer>()>;

  explicit HelpLauncher(ViewerMaker maker) : m_maker(std::move(maker)) {}

  // Shows `topic` in a help window owned by `owner`; whether one shows it.
  bool ShowHelpTopic(void* owner, std::string_view topic);
  State GetState() const { return m_state; }

 private:
  ViewerMaker m_maker;
  std::unique_ptr<HelpViewer> m_viewer;
  State m_state = State::kNotTried;
};

}  // namespace horavex
