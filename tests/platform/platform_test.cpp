#include <net/if.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "platform/linux/dialup_linux.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;

TEST(DialupTest, OnlyARunningInterfaceOtherThanLoopbackConnects) {
  constexpr unsigned kUp = IFF_UP | IFF_RUNNING;
  const std::tuple<std::vector<InterfaceState>, bool, bool> cases[] = {
      {{{"lo", kUp | IFF_LOOPBACK}}, false, false}, {{{"lo", kUp | IFF_LOOPBACK}, {"eth0", kUp}}, true, false},
      {{{"eth0", IFF_UP}}, false, false},           {{{"ppp0", kUp}}, true, true},
      {{{"ppp0", IFF_UP}}, false, true},            {{{"wwan0", kUp}, {"eth0", kUp}}, true, true},
      {{{"ppp0", 0}, {"eth0", kUp}}, true, false}};
  for (const auto& [interfaces, connected, modem] : cases) {
    const ConnectedState state = ConnectedStateOf(interfaces);
    EXPECT_EQ(std::pair(state.connected, state.modem), std::pair(connected, modem)) << interfaces.back().name;
  }
}

// Stand-ins for nmcli, pon and poff: scripts in a directory that is all of PATH while the object
// lives, so no real program of that name is reached. Each appends its name and arguments, one a
// line, to the file "calls" there, then runs `then` there.
struct FakeCommands {
  FakeCommands() { setenv("PATH", dir.Path().c_str(), 1); }
  ~FakeCommands() { setenv("PATH", savedPath.c_str(), 1); }
  void Add(const std::string& name, const std::string& then = "exit 0") {
    std::ofstream(dir.File(name)) << "#!/bin/sh\ncd " << dir.Path() << "\nprintf '%s\\n' \"${0##*/}\" \"$@\" >> calls\n" << then;
    std::filesystem::permissions(dir.File(name), std::filesystem::perms(0755));
  }
  testing::TempDir dir;
  std::string savedPath = std::getenv("PATH");
};

// Dials as from an Asio thread, which blocks every signal, and hangs up what it got.
TEST(DialupTest, DialResultsAndTheCommandsRunForThem) {
  const std::string name = "x; touch injected $(touch injected) `touch injected`\n";
  const std::string up = "nmcli\n--wait\n1\nconnection\nup\nid\n" + name;
  const struct {
    const char *nmcli, *pon;  // nullptr: not there (pon: nor poff)
    DialResult expected;  // a connection's handle is left out
    std::string calls;
    bool cancel = false;  // 100 ms into the dial
  } cases[] = {{"exit 0", nullptr, DialResult::Connected(0), up + "nmcli\nconnection\ndown\nid\n" + name},
               {"exit 3", nullptr, DialResult::Busy(), up}, {"exit 4", nullptr, DialResult::Busy(), up},
               {"exit 10", nullptr, DialResult::Failed(10), up},
               {"kill -KILL $$", nullptr, DialResult::Failed(128 + SIGKILL), up},
               {"kill -TERM $$; exit 0", nullptr, DialResult::Failed(128 + SIGTERM), up},  // the program does not inherit the block
               {"/bin/sleep 30 & wait", nullptr, DialResult::Busy(), up},  // killed at its bound
               {"exec /bin/sleep 30", nullptr, DialResult::Failed(ECANCELED), up, true},  // then later dials and pauses end at once
               {nullptr, "exit 0", DialResult::Busy(), "pon\n" + name + "poff\n" + name},  // no ppp interface comes up
               {nullptr, "exit 2", DialResult::Failed(2), "pon\n" + name}, {nullptr, nullptr, DialResult::Failed(ENOENT), ""}};
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &old);
  const auto start = std::chrono::steady_clock::now();
  for (const auto& c : cases) {
    FakeCommands commands;
    if (c.nmcli) commands.Add("nmcli", c.nmcli);
    if (c.pon) commands.Add("pon", c.pon), commands.Add("poff");
    auto port = MakeLinuxDialupPort(
        {.nmcliWait = 1s, .commandSlack = 300ms, .pppUpWait = 300ms, .commandLimit = 2s, .pollStep = 20ms});
    std::thread canceller([&] { c.cancel ? std::this_thread::sleep_for(100ms), port->Cancel() : void(); });
    DialResult result = port->Dial(name.substr(0, name.size() - 1));
    canceller.join();
    EXPECT_TRUE(!c.cancel || (port->Pause(30s), port->Dial("again") == DialResult::Failed(ECANCELED))) << "cancelled for good";
    port->HangUp(result.outcome == DialOutcome::Connected ? std::exchange(result.handle, 0) : 12345);  // a handle never dialled runs nothing
    EXPECT_EQ(result, c.expected) << (c.nmcli ? c.nmcli : c.pon ? c.pon : "nothing");
    EXPECT_EQ(testing::ReadFile(commands.dir.File("calls")), c.calls) << (c.nmcli ? c.nmcli : c.pon ? c.pon : "nothing");
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 15s);
  EXPECT_FALSE(std::filesystem::exists("injected"));
}

}  // namespace
}  // namespace horavex
