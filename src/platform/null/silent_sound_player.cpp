// The null platform's sounds: none.
#include "platform/sound.h"

namespace horavex {
namespace {

class SilentSoundPlayer final : public SoundPlayer {
 public:
  void PlayFile(const std::string&) override {}
};

}  // namespace

std::unique_ptr<SoundPlayer> MakeSystemSoundPlayer() { return std::make_unique<SilentSoundPlayer>(); }

}  // namespace horavex
