// A sound player for tests: it plays nothing and records the names it was asked to play, in order.
#pragma once

#include <string>
#include <vector>

#include "platform/sound.h"

namespace horavex::testing {

struct FakeSoundPlayer final : SoundPlayer {
  void PlayFile(const std::string& path) override { played.push_back(path); }
  std::vector<std::string> played;
};

}  // namespace horavex::testing
