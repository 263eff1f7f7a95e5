// What the main window's tick decides: the clock fields, the chimes, the hidden start.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <thread>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include "app/chimes.h"
#include "app/dashboard.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "app/status_icon.h"
#include "common/profile.h"
#include "support/fake_sound_player.h"
#include "support/temp_dir.h"

namespace horavex {

void PrintTo(const DashboardChange& c, std::ostream* os) { *os << c.field.index() << ":" << c.text; }

namespace {

constexpr uid_t kNobody = 65534;
constexpr std::int64_t k121459 = 1'765'023'299;  // Sat 2025-12-06 12:14:59 UTC

// The dashboard's texts, the clock among them, as the main window's refresh and chimes see them.
TEST(MainTick, EachTextIsGivenWhenItChangesAndEachQuarterChimesOnceAlsoWhenSetBack) {
  setenv("TZ", "UTC", 1), tzset();
  testing::TempDir dir;
  std::ofstream(dir.File("horavex.ini")) << "[COMMON]\nPlaySound_15=/q15.wav\nPlaySound_00=\n";
  Profile profile(dir.File("horavex.ini"));
  testing::FakeSoundPlayer player;
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
  EXPECT_EQ((std::vector<DashboardChange>{first[0], first[8], first[9], first[10], first[11], first[12]}),
            (std::vector<DashboardChange>{{ServerKind::TimeTcp, "disabled"}, {ClientKind::SntpUdp, "Disabled"},
                                          {ClockField::Time, "12:14:59"}, {ClockField::Date, "12/06/25"},
                                          {LastSyncField::By, "..."}, {LastSyncField::At, "Nog Niet"}}));
  EXPECT_TRUE(tick().empty());
  // 12:15:00 is seen by seven ticks, then 12:15:01, then the clock is set back across the quarter.
  for (std::int64_t t : {k121459 + 1, k121459 + 1, k121459 + 1, k121459 + 1, k121459 + 1, k121459 + 1,
                         k121459 + 1, k121459 + 2, k121459 - 2, k121459 + 1}) now = t, tick();
  EXPECT_EQ(timeWrites, 5);
  EXPECT_EQ(player.played, (std::vector<std::string>{"/q15.wav", "/q15.wav"}));

  // A changed file is used from the next chime on; an empty key plays nothing.
  profile.WriteString("COMMON", "PlaySound_15", "/other.wav");
  for (std::int64_t t : {k121459 + 2, k121459 + 1, k121459 + 2701, k121459 + 1801}) now = t, tick();
  EXPECT_EQ(player.played.back(), "/other.wav");
  EXPECT_EQ(player.played.size(), 3u);

  // A client's success shows by whom and when; another's in the same second changes only by whom.
  model.OnLastSync(ClientKind::SntpUdp, k121459);
  EXPECT_EQ(tick(), (std::vector<DashboardChange>{{LastSyncField::By, "SNTP"}, {LastSyncField::At, "12:14:59"}}));
  model.OnLastSync(ClientKind::TimeTcp, k121459);
  EXPECT_EQ(tick(), (std::vector<DashboardChange>{{LastSyncField::By, "TmTcp"}}));
}

TEST(MainTick, TheStatusIconSaysTheLastSyncAndWantsAttentionWhileAnyClientStandsAtErrStop) {
  StatusIconModel icon;
  EXPECT_EQ(icon.Title(), "Laatste synchronisatie Nog Niet");
  EXPECT_FALSE(icon.OnChange({LastSyncField::By, "SNTP"})) << "a client is named only with its time";
  EXPECT_TRUE(icon.OnChange({LastSyncField::At, "12:14:59"}));
  EXPECT_EQ(icon.Title(), "Laatste synchronisatie 12:14:59 (SNTP)");
  EXPECT_TRUE(icon.OnChange({ClientKind::TimeUdp, "Err:Stop"}));
  EXPECT_FALSE(icon.OnChange({ClientKind::SntpUdp, "Err:Stop"}));
  EXPECT_FALSE(icon.OnChange({ClientKind::TimeUdp, "3"}));
  EXPECT_TRUE(icon.OnChange({ClientKind::SntpUdp, "-BUSY-"}));
  EXPECT_FALSE(icon.Attention());
}

TEST(MainTick, StartWordsAreFoundCaseSensitivelyAnywhere) {
  for (const auto& [line, words] : {std::pair{"/usr/bin/horavex hide Hide noshow multiple", "---"},
                                     {"/opt/HIDE/horavex", "-H-"}, {"horavex /NOSHOW -MULTIPLE", "M-N"}}) {
    const StartWords w = StartWords::Find(line);
    EXPECT_EQ((std::string{w.multiple ? 'M' : '-', w.hide ? 'H' : '-', w.noShow ? 'N' : '-'}), words) << line;
  }
}

TEST(MainTick, AHiddenStartFadesOverEightyFiveStepsAndANoShowStartEndsAtOnce) {
  StartupFade fade(false);
  std::vector<unsigned> alphas;
  for (StartupFade::Step step{}; !step.done;) step = fade.Next(), alphas.push_back(step.alpha);
  EXPECT_EQ(alphas.size(), 85u);
  EXPECT_EQ((std::vector<unsigned>{alphas[0], alphas[83], alphas[84]}), (std::vector<unsigned>{252, 3, 0}));
  EXPECT_TRUE(StartupFade(true).Next().done);
}

TEST(MainTick, ALaterCopyReachesTheFirstOnlyOnceItListensAndOnlyOverItsOwnSocket) {
  testing::TempDir dir;
  asio::io_context io;  // outlives the listener, as the program's network thread does
  auto first = std::make_unique<SingleInstance>(dir.File("own"), "h");
  SingleInstance later(dir.File("own"), "h");
  ASSERT_TRUE(first->TryLock());
  EXPECT_EQ(std::filesystem::status(dir.File("own")).permissions(), std::filesystem::perms::owner_all);
  EXPECT_FALSE(later.TryLock());
  EXPECT_FALSE(later.AskFirstToShow());  // "Horavex is actief, maar niet te activeren"
  auto work = asio::make_work_guard(io);
  std::thread thread([&] { io.run(); });
  int shown = 0;
  ASSERT_TRUE(first->Listen(io.get_executor(), io.get_executor(), [&] { ++shown; }));
  EXPECT_TRUE(later.AskFirstToShow());
  if (::chown(dir.File("own/h.sock").c_str(), kNobody, kNobody) == 0) {
    EXPECT_FALSE(later.AskFirstToShow());  // another user's socket is not the first copy's
  }
  first.reset();  // closed on the io thread while it runs
  work.reset();
  thread.join();  // nothing of the listener is left to keep it running
  EXPECT_EQ(shown, 1);
}

// Where another user could have made the folder or the lock, a start takes no lock and says why,
// instead of ending because someone else holds it.
TEST(MainTick, AFolderOrLockOthersCouldHaveMadeIsNotUsed) {
  if (::geteuid() != 0) GTEST_SKIP() << "making another user's files needs root";
  namespace fs = std::filesystem;
  const auto chown = [](const fs::path& path) { ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0); };
  const std::pair<const char*, std::function<void(const fs::path&)>> rows[] = {
      {"lock of another user", [&](const fs::path& own) { fs::create_directory(own), std::ofstream(own / "h.lock"), chown(own / "h.lock"); }},
      {"folder of another user", [&](const fs::path& own) { fs::create_directory(own), chown(own); }},
      {"folder open to all", [](const fs::path& own) { fs::create_directory(own), fs::permissions(own, fs::perms::all); }},
      {"link in its place", [](const fs::path& own) { fs::create_directory(own.parent_path() / "x"), fs::create_directory_symlink("x", own); }},
  };
  for (const auto& [name, make] : rows) {
    testing::TempDir dir;
    make(dir.File("own"));
    SingleInstance copy(dir.File("own"), "h");
    EXPECT_TRUE(copy.TryLock()) << name;
    EXPECT_NE(copy.Problem(), "") << name;
    asio::io_context io;
    EXPECT_FALSE(copy.Listen(io.get_executor(), io.get_executor(), [] {})) << name;
  }
}

}  // namespace
}  // namespace horavex
