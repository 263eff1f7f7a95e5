// What the main window's tick decides: the clock fields, the chimes, the hidden start.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "app/chimes.h"
#include "app/dashboard.h"
#include "app/startup.h"
#include "common/profile.h"
#include "platform/sound.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

struct RecordingPlayer : SoundPlayer {
  void PlayFile(const std::string& path) override { played.push_back(path); }
  std::vector<std::string> played;
};

constexpr std::int64_t k121459 = 1'765'023'299;  // Sat 2025-12-06 12:14:59 UTC

TEST(MainTick, TheClockShowsOncePerSecondAndEachQuarterChimesOnceAlsoWhenSetBack) {
  setenv("TZ", "UTC", 1);
  tzset();
  testing::TempDir dir;
  std::ofstream(dir.File("horavex.ini")) << "[COMMON]\nPlaySound_15=/q15.wav\nPlaySound_00=\n";
  Profile profile(dir.File("horavex.ini"));
  RecordingPlayer player;
  Chimes chimes(profile, player);
  std::int64_t now = k121459;
  std::array<DashboardModel::StatusSource, kServerKindCount> servers;
  std::array<DashboardModel::StatusSource, kClientKindCount> clients;
  for (auto& s : servers) s = [] { return std::string("disabled"); };
  for (auto& c : clients) c = [] { return std::string("Disabled"); };
  DashboardModel model(servers, clients, [&] { return now; });
  int timeWrites = 0;
  const auto tick = [&] {
    const auto changes = model.Tick();
    for (const auto& c : changes)
      if (c.field == DashboardField{ClockField::Time}) ++timeWrites, chimes.OnTimeShown(c.text);
    return changes;
  };

  const auto first = tick();
  ASSERT_EQ(first.size(), 13u);
  EXPECT_EQ(first[9], (DashboardChange{ClockField::Time, "12:14:59"}));
  EXPECT_EQ(first[10], (DashboardChange{ClockField::Date, "12/06/25"}));
  EXPECT_TRUE(tick().empty());
  // 12:15:00 is seen by seven ticks, then 12:15:01, then the clock is set back across the quarter.
  for (std::int64_t t : {k121459 + 1, k121459 + 1, k121459 + 1, k121459 + 1, k121459 + 1, k121459 + 1,
                         k121459 + 1, k121459 + 2, k121459 - 2, k121459 + 1}) {
    now = t;
    tick();
  }
  EXPECT_EQ(timeWrites, 5);
  EXPECT_EQ(player.played, (std::vector<std::string>{"/q15.wav", "/q15.wav"}));

  // A changed file is used from the next chime on; an empty key plays nothing.
  profile.WriteString("COMMON", "PlaySound_15", "/other.wav");
  for (std::int64_t t : {k121459 + 2, k121459 + 1, k121459 + 2701, k121459 + 1801}) {
    now = t;
    tick();
  }
  EXPECT_EQ(player.played.back(), "/other.wav");
  EXPECT_EQ(player.played.size(), 3u);
}

TEST(MainTick, StartWordsAreFoundCaseSensitivelyAnywhere) {
  struct Row { const char* line; bool multiple, hide, noShow; };
  for (const Row& r : {Row{"/usr/bin/horavex", false, false, false},
                       Row{"/usr/bin/horavex hide Hide noshow multiple", false, false, false},
                       Row{"/opt/HIDE/horavex", false, true, false},
                       Row{"horavex /NOSHOW -MULTIPLE", true, false, true}}) {
    const StartWords w = StartWords::Find(r.line);
    EXPECT_EQ(std::tuple(w.multiple, w.hide, w.noShow), std::tuple(r.multiple, r.hide, r.noShow)) << r.line;
  }
}

TEST(MainTick, AHiddenStartFadesOverEightyFiveStepsAndANoShowStartEndsAtOnce) {
  StartupFade fade(false);
  std::vector<unsigned> alphas;
  StartupFade::Step step{};
  do {
    step = fade.Next();
    alphas.push_back(step.alpha);
  } while (!step.done);
  EXPECT_EQ(alphas.size(), 85u);
  EXPECT_EQ((std::vector<unsigned>{alphas[0], alphas[83], alphas[84]}), (std::vector<unsigned>{252, 3, 0}));
  EXPECT_TRUE(StartupFade(true).Next().done);
}

}  // namespace
}  // namespace horavex
