// A sound player for tests: it plays nothing and records the names it was asked to play.
#pragma once

#include <string>
#include <vector>

#include "platform/sound.h"

namespace horavex::testing {

class FakeSoundPlayer final : public SoundPlayer {
 public:
  void PlayFile(const std::string& path) override { played.push_back(path); }

  std::vector<std::string> played;  // in the order asked
};

}  // namespace horavex::testing
