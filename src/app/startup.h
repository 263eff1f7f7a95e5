// How the windowed program starts: the words of its command line, and the fade of a hidden start.
#pragma once

#include <algorithm>
#include <chrono>
#include <string_view>

namespace horavex {

// The three words that steer a start, found case-sensitively anywhere in the command line (the
// program's own path included, so a folder named HIDE hides the window).
struct StartWords {
  bool multiple = false;  // "MULTIPLE": run beside a copy that already runs
  bool hide = false;      // "HIDE": show a fading splash, then stay hidden
  bool noShow = false;    // "NOSHOW": stay hidden from the start

  static StartWords Find(std::string_view commandLine) {
    const auto has = [commandLine](std::string_view word) { return commandLine.find(word) != commandLine.npos; };
    return {has("MULTIPLE"), has("HIDE"), has("NOSHOW")};
  }
};

// The fade of a hidden start: 85 steps of 50 ms from opaque to transparent; the last step hides
// the window and gives it back its place, size and opacity. A start that shows nothing begins at
// the last step.
class StartupFade {
 public:
  static constexpr int kSteps = 85;
  static constexpr std::chrono::milliseconds kPeriod{50};
  // The opacity the window gets back when the fade ends (the configured one may replace it).
  static constexpr unsigned kRestoredAlpha = 254;

  struct Step {
    unsigned alpha;  // 255 - 3n; 0 at the last step, which changes nothing
    bool done;       // hide, restore, stop the timer
  };

  explicit StartupFade(bool noShow) : m_fadeStep(noShow ? kSteps - 1 : 0) {}
  Step Next() {
    m_fadeStep = std::min(m_fadeStep + 1, kSteps);
    return {static_cast<unsigned>(255 - 3 * m_fadeStep), m_fadeStep == kSteps};
  }

 private:
  int m_fadeStep;
};

}  // namespace horavex
