// This machine's sounds: libcanberra plays the file on a thread of its own. One id for every
// sound of the program, so that cancelling it stops whatever still plays before the next starts.
#include <alsa/asoundlib.h>
#include <canberra.h>
#include <sys/stat.h>

#include <cstdint>

#include "platform/sound.h"

namespace horavex {
namespace {

constexpr std::uint32_t kSoundId = 1;

// ALSA writes its complaints (no card, a device it cannot open) to stderr; a chime that cannot
// play is no news for the user. The program uses ALSA only through this player.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// The one canberra context of the process, made on first use and never destroyed: destroying it
// unloads canberra's driver while the thread that played the last sound may still be on its way
// out, which then runs code no longer mapped. A context kept to the end costs a few kilobytes.
ca_context* SharedContext() {
  static ca_context* const context = [] {
    snd_lib_error_set_handler(IgnoreAlsaError);
    ca_context* made = nullptr;
    if (ca_context_create(&made) != CA_SUCCESS) return static_cast<ca_context*>(nullptr);
    ca_context_change_props(made, CA_PROP_APPLICATION_NAME, "Horavex", CA_PROP_APPLICATION_ID, "horavex", nullptr);
    return made;
  }();
  return context;
}

class CanberraSoundPlayer final : public SoundPlayer {
 public:
  ~CanberraSoundPlayer() override {
    // Stops a sound still playing; canberra's thread lets go of the device on its own.
    if (m_context) ca_context_cancel(m_context, kSoundId);
  }

  void PlayFile(const std::string& path) override {
    // Only a regular file: opening a FIFO or a device would wait on this thread for a writer.
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
    if (!m_context && !(m_context = SharedContext())) return;
    ca_context_cancel(m_context, kSoundId);
    // Opening the device happens here, without waiting: ALSA opens a busy device non-blocking by
    // default (defaults.pcm.nonblock) and canberra then refuses; the samples go from a thread of
    // canberra's own. The result says only whether it plays, which nobody is told.
    ca_context_play(m_context, kSoundId, CA_PROP_MEDIA_FILENAME, path.c_str(), CA_PROP_CANBERRA_CACHE_CONTROL,
                    "never", nullptr);
  }

 private:
  ca_context* m_context = nullptr;
};

}  // namespace

std::unique_ptr<SoundPlayer> MakeSystemSoundPlayer() { return std::make_unique<CanberraSoundPlayer>(); }

}  // namespace horavex
