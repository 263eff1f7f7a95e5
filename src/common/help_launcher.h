// The help launcher: every window opens its topic through ShowHelpTopic. The viewer is made on
// first use and kept for the rest of the run; when it cannot be made (no help book), the launcher
// gives up for good and every later request returns 0 at once, showing nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace horavex {

// The topics of the windows: the help file, two colons, the page inside it.
inline constexpr std::string_view kServerHelpTopic = "Horavex.chm::server.html";
inline constexpr std::string_view kClientHelpTopic = "Horavex.chm::client.html";
inline constexpr std::string_view kClientInfoHelpTopic = "Horavex.chm::clientinfo.html";
inline constexpr std::string_view kMainHelpTopic = "Horavex.chm::mainscreen.html";
inline constexpr std::string_view kCommonSettingsHelpTopic = "Horavex.chm::configmain.html";

// The page part of a topic ("server.html" of "Horavex.chm::server.html"); the whole text when it
// names no file.
std::string_view HelpPage(std::string_view topic);

// Shows pages of the help book. `owner` is the toolkit's window that owns the help window.
class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  // Shows `page` in a help window owned by `owner`; a handle of that window, 0 when none opened.
  virtual std::intptr_t Show(void* owner, std::string_view page) = 0;
};

class HelpLauncher {
 public:
  enum class State { kNotTried, kReady, kFailed };
  // Makes the viewer; null when there is no help book.
  using ViewerMaker = std::function<std::unique_ptr<HelpViewer>()>;

  explicit HelpLauncher(ViewerMaker maker) : m_maker(std::move(maker)) {}

  // Opens `topic`'s page owned by `owner` (command 0: show the topic); the viewer's result, 0 when unavailable.
  std::intptr_t ShowHelpTopic(void* owner, std::string_view topic, unsigned command, std::uintptr_t data);
  State GetState() const { return m_state; }

 private:
  ViewerMaker m_maker;
  std::unique_ptr<HelpViewer> m_viewer;
  State m_state = State::kNotTried;
};

}  // namespace horavex
