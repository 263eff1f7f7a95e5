// The real player through libcanberra and ALSA, whose default device is a file in this test's own
// HOME: what reaches the file is what was played.
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/sound.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

// A mono 16-bit 8 kHz wav of `seconds`, every byte of its samples `byte`.
std::string Wav(std::uint32_t seconds, char byte) {
  const std::uint32_t n = 16000 * seconds;
  const std::uint32_t head[] = {0x46464952, 36 + n, 0x45564157, 0x20746d66, 16, 0x10001, 8000, 16000, 0x100002,
                                0x61746164, n};  // RIFF, WAVE, fmt: PCM, mono, 8000 Hz, 2-byte frames; data
  return std::string(reinterpret_cast<const char*>(head), sizeof head) + std::string(n, byte);
}

TEST(SoundTest, TheLastOfTwoSoundsPlaysAndNothingUnplayableWaitsOrPlays) {
  testing::TempDir home;
  const auto device = home.File("device.raw"), fifo = home.File("fifo.wav");
  std::ofstream(home.File(".asoundrc")) << "pcm.!default { type file; slave.pcm \"null\"; file \"" << device.string()
                                        << "\"; format \"raw\" }\n";
  std::ofstream(home.File("long.wav")) << Wav(10, 1), std::ofstream(home.File("one.wav")) << Wav(1, 2);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  setenv("HOME", home.Path().c_str(), 1), setenv("CANBERRA_DRIVER", "alsa", 1);  // before ALSA reads its settings
  const auto player = MakeSystemSoundPlayer();
  const auto start = std::chrono::steady_clock::now();
  for (const auto& name : {std::filesystem::path(), home.File("missing.wav"), home.Path(), fifo})
    player->PlayFile(name);
  EXPECT_FALSE(std::filesystem::exists(device));  // a sound opens the device before PlayFile returns
  player->PlayFile(home.File("long.wav")), player->PlayFile(home.File("one.wav"));
  // Far less than the long sound lasts: nothing waited for a sound to end (a loaded machine may be slow).
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  // The device file is made anew for each sound.
  for (int i = 0; i < 50 && testing::ReadFile(device) != std::string(16000, 2); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(testing::ReadFile(device), std::string(16000, 2));
}

}  // namespace
}  // namespace horavex
