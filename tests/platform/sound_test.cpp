// The real player through libcanberra and ALSA, whose default device is a file in this test's own
// HOME: what reaches the file is what was played. ALSA reads its configuration once per process.
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/sound.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;

class SoundTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::ofstream(home().File(".asoundrc")) << "pcm.!default { type file; slave.pcm \"null\"; file \""
                                            << Device().string() << "\"; format \"raw\" }\n";
    setenv("HOME", home().Path().c_str(), 1);
    setenv("CANBERRA_DRIVER", "alsa", 1);
  }
  static testing::TempDir& home() {
    static testing::TempDir dir;
    return dir;
  }
  static std::filesystem::path Device() { return home().File("device.raw"); }

  // A mono 16-bit 8 kHz wav of `seconds`, every sample `value`.
  std::string Wav(const char* name, int seconds, std::int16_t value) {
    const std::uint32_t bytes = 16000u * seconds;
    std::ofstream out(home().File(name), std::ios::binary);
    auto put = [&out](std::uint32_t v, int size) { out.write(reinterpret_cast<const char*>(&v), size); };
    out << "RIFF", put(36 + bytes, 4), out << "WAVEfmt ", put(16, 4), put(1, 2), put(1, 2), put(8000, 4);
    put(16000, 4), put(2, 2), put(16, 2), out << "data", put(bytes, 4);
    for (std::uint32_t i = 0; i < bytes / 2; ++i) put(static_cast<std::uint16_t>(value), 2);
    return home().File(name).string();
  }
  // Plays `path` and checks that the call returned at once.
  void Play(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    player_->PlayFile(path);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms) << path;
  }
  // What the device received once it stopped growing.
  std::string Played() {
    std::string last = "-";
    for (int i = 0; i < 50; ++i) {
      std::this_thread::sleep_for(100ms);
      std::string now = testing::ReadFile(Device());
      if (now == last && !now.empty()) break;
      last = std::move(now);
    }
    return last;
  }

  std::unique_ptr<SoundPlayer> player_ = MakeSystemSoundPlayer();
};

TEST_F(SoundTest, ASecondSoundPlaysInsteadOfTheFirst) {
  const auto tenSeconds = Wav("long.wav", 10, 1000), oneSecond = Wav("one.wav", 1, 2000);
  Play(tenSeconds);
  Play(oneSecond);
  // The device file is made anew for every sound: 8000 samples of 2000, little-endian.
  std::string samples;
  for (int i = 0; i < 8000; ++i) samples += "\xd0\x07";
  EXPECT_EQ(Played(), samples);
}

TEST_F(SoundTest, NothingPlayableIsSilentAndDoesNotWait) {
  const auto fifo = home().File("fifo.wav").string(), text = home().File("text.wav").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::ofstream(text) << "no sound";
  std::filesystem::remove(Device());
  ::testing::internal::CaptureStderr();
  for (const std::string& name : {std::string(), home().File("missing.wav").string(), home().Path().string(), fifo, text})
    Play(name);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(std::filesystem::exists(Device()));
}

}  // namespace
}  // namespace horavex
