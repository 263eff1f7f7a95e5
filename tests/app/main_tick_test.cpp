// What the program runs and the main window's tick decides: the station, the start words, the
// hidden start, the single instance.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <thread>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include "app/single_instance.h"
#include "app/startup.h"
#include "app/station.h"
#include "app/status_icon.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "platform/simulated_clock.h"
#include "support/fake_dialup_port.h"
#include "support/fake_sound_player.h"
#include "support/loopback_probe.h"
#include "support/temp_dir.h"

namespace horavex {

void PrintTo(const DashboardChange& c, std::ostream* os) { *os << c.field.index() << ":" << c.text; }

namespace {

using namespace std::chrono_literals;

constexpr uid_t kNobody = 65534;
constexpr std::int64_t k121459 = 1'765'023'299;  // Sat 2025-12-06 12:14:59 UTC

// A server's request field, as its window shows it, in the order the station's servers show theirs.
struct RequestField : NullServerView {
  RequestField(std::vector<std::string>& log, ServerKind of) : shown(log), kind(of) {}
  void SetRequestText(const std::string& text) override { shown.push_back(std::string(InfoOf(kind).title) + " " + text); }
  std::vector<std::string>& shown;
  ServerKind kind;
};

// The station as the main window and horavexd drive it: the servers start in dashboard order and
// show their own counts; the refresh gives every text at first, then only what changed; each
// quarter chimes once however often its second is shown, again when the clock is set back
// across it, with the file the profile names then; a client's success shows by whom and when.
TEST(Station, StartsInOrderRefreshesWhatChangedChimesEachQuarterOnceAndShowsTheLastSync) {
  setenv("TZ", "UTC", 1), tzset();
  testing::TempDir dir;
  std::ofstream ini(dir.File("horavex.ini"));
  ini << "[COMMON]\nPlaySound_15=/q15.wav\nPlaySound_00=\n";
  std::array<std::uint16_t, kServerKindCount> ports{};
  for (ServerKind kind : kServerKinds)
    ini << "[" << InfoOf(kind).section << "]\nStartUp=1\nPort=" << (ports[int(kind)] = testing::FreePort()) << "\n";
  ini << "[TIME CLIENT TCP]\nServer=127.0.0.1\nPort=" << ports[0] << "\n";
  ini.close();
  Profile profile(dir.File("horavex.ini"));
  ManualTimeSource time(k121459 * 1000);
  SimulatedClock clock(time.Source());
  asio::io_context io;
  DialupService dialup(std::make_unique<testing::FakeDialupPort>(), io.get_executor());
  testing::FakeSoundPlayer player;
  Station station({{io.get_executor(), io.get_executor()}, profile, clock, dialup}, &player,
                  asio::ip::address_v4::loopback());
  std::vector<std::string> shown;
  std::vector<std::unique_ptr<RequestField>> fields;
  for (ServerKind kind : Station::kServerMakeOrder)
    station.AttachServerView(kind, fields.emplace_back(std::make_unique<RequestField>(shown, kind)).get());
  shown.clear();
  station.Start();
  EXPECT_EQ(shown, (std::vector<std::string>{"Server Time TCP 0", "Server Time UDP 0", "Server DayTime TCP 0",
                                             "Server DayTime UDP 0"}));

  const auto first = station.Tick();
  ASSERT_EQ(first.size(), 13u);
  EXPECT_EQ((std::vector<DashboardChange>{first[0], first[8], first[9], first[10], first[11], first[12]}),
            (std::vector<DashboardChange>{{ServerKind::TimeTcp, "0"}, {ClientKind::SntpUdp, "Disabled"},
                                          {ClockField::Time, "12:14:59"}, {ClockField::Date, "12/06/25"},
                                          {LastSyncField::By, "..."}, {LastSyncField::At, "Nog Niet"}}));
  EXPECT_TRUE(station.Tick().empty());
  // 12:15:00 is seen by seven ticks, then 12:15:01, then the clock is set back across the quarter.
  time.Advance(1s);
  for (int i = 0; i < 7; ++i) station.Tick();
  time.Advance(1s), station.Tick();
  clock.StepBy(-3s), station.Tick();
  clock.StepBy(2s), station.Tick();
  EXPECT_EQ(player.played, (std::vector<std::string>{"/q15.wav", "/q15.wav"}));
  // A changed file is used from the next chime on; an empty key plays nothing.
  profile.WriteString("COMMON", "PlaySound_15", "/other.wav");
  for (auto step : {1s, -1s, 2700s, -900s}) clock.StepBy(step), station.Tick();
  EXPECT_EQ(player.played, (std::vector<std::string>{"/q15.wav", "/q15.wav", "/other.wav"}));

  // The Time TCP client asks the station's own server.
  clock.StepBy(-1800s);
  station.Client(ClientKind::TimeTcp).SetEnabled(true);
  station.SynchroAll();
  for (int i = 0; i < 300 && station.Client(ClientKind::TimeTcp).IsRequestActive(); ++i) io.run_for(10ms);
  std::vector<DashboardChange> lastSync;
  for (const DashboardChange& change : station.Tick())
    if (std::holds_alternative<LastSyncField>(change.field)) lastSync.push_back(change);
  EXPECT_EQ(lastSync, (std::vector<DashboardChange>{{LastSyncField::By, "TmTcp"}, {LastSyncField::At, "12:15:00"}}));
  EXPECT_EQ(station.LastSyncText(), "TmTcp 12:15:00");
  station.Stop();
  for (int i = 0; i < 100 && TimeClient::RunningRequests() > 0; ++i) io.run_for(10ms);
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

TEST(MainTick, AHiddenStartFadesOutOverEightyFiveStepsAndANoShowStartEndsAtOnce) {
  StartupFade fade(false);
  std::vector<unsigned> alphas{255};
  for (StartupFade::Step step{}; !step.done;) step = fade.Next(), alphas.push_back(step.alpha);
  EXPECT_EQ(alphas.size(), 86u);
  EXPECT_EQ(std::adjacent_find(alphas.begin(), alphas.end(), std::less_equal<>()), alphas.end()) << "every step fades";
  EXPECT_EQ(alphas.back(), 0u) << "and the last hides it";
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
