#include "platform/linux/dialup_linux.h"

#include <net/if.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "fake_commands.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;
using testing::FakeCommands;
using Lines = std::vector<std::string>;

constexpr unsigned kUpRunning = IFF_UP | IFF_RUNNING;

TEST(ConnectedStateTest, OnlyARunningInterfaceOtherThanLoopbackConnects) {
  const struct {
    const char* what;
    std::vector<InterfaceState> interfaces;
    bool connected;
    unsigned flags;
  } cases[] = {
      {"nothing", {}, false, 0},
      {"loopback only", {{"lo", kUpRunning | IFF_LOOPBACK}}, false, 0},
      {"LAN", {{"lo", kUpRunning | IFF_LOOPBACK}, {"eth0", kUpRunning}}, true, 0},
      {"LAN without carrier", {{"eth0", IFF_UP}}, false, 0},
      {"modem", {{"ppp0", kUpRunning}}, true, kConnectionModem},
      {"modem still negotiating", {{"ppp0", IFF_UP}}, false, kConnectionModem},
      {"mobile broadband", {{"wwan0", kUpRunning}, {"eth0", kUpRunning}}, true, kConnectionModem},
      {"modem down", {{"ppp0", 0}, {"eth0", kUpRunning}}, true, 0},
  };
  for (const auto& c : cases) {
    unsigned flags = 99;
    EXPECT_EQ(ConnectedStateOf(c.interfaces, flags), c.connected) << c.what;
    EXPECT_EQ(flags, c.flags) << c.what;
  }
}

TEST(ConnectedStateTest, ThisMachineIsOnItsLan) {
  bool eth0Up = false;
  bool modem = false;
  for (const InterfaceState& i : ListInterfaces()) {
    if (i.name == "eth0" && (i.flags & kUpRunning) == kUpRunning) eth0Up = true;
    if ((i.name.rfind("ppp", 0) == 0 || i.name.rfind("wwan", 0) == 0) && (i.flags & IFF_UP)) modem = true;
  }
  if (!eth0Up) GTEST_SKIP() << "no running eth0 here";
  unsigned flags = 99;
  EXPECT_TRUE(MakeSystemDialupPort()->GetConnectedState(flags));
  EXPECT_EQ(flags, modem ? kConnectionModem : 0u);
}

LinuxDialupOptions QuickOptions() {
  LinuxDialupOptions o;
  o.nmcliWait = 1s;
  o.commandSlack = 300ms;
  o.pppUpWait = 300ms;
  o.commandLimit = 2s;
  o.pollStep = 20ms;
  return o;
}

TEST(LinuxDialTest, ANameReachesNmcliAsOneArgumentAndIsNeverRunByAShell) {
  FakeCommands commands;
  commands.Add("nmcli");
  const std::string canary = (commands.Dir() / "injected").string();
  const std::string names[] = {"x; touch " + canary, "$(touch " + canary + ")", "`touch " + canary + "`",
                               "two words", "-h", "'quoted' \"twice\"", ""};
  auto port = MakeLinuxDialupPort(QuickOptions());
  Lines expected;
  for (const std::string& name : names) {
    DialHandle handle = 0;
    ASSERT_EQ(port->Dial(name, handle), 0) << name;
    EXPECT_NE(handle, 0u);
    port->HangUp(handle);
    for (const Lines& call : {Lines{"nmcli", "--wait", "1", "connection", "up", "id", name},
                              Lines{"nmcli", "connection", "down", "id", name}})
      expected.insert(expected.end(), call.begin(), call.end());
  }
  EXPECT_EQ(commands.Calls(), expected);
  EXPECT_FALSE(std::filesystem::exists(canary));
}

TEST(LinuxDialTest, NmcliFailuresMapToDialResults) {
  const struct {
    const char* script;
    int expected;
  } cases[] = {
      {"exit 3", kErrorNoConnection},
      {"exit 4", kErrorNoConnection},
      {"exit 10", 10},
      {"kill -KILL $$", 128 + 9},
      {"exec /bin/sleep 30", kErrorNoConnection},  // killed at nmcliWait + commandSlack
  };
  for (const auto& c : cases) {
    FakeCommands commands;
    commands.Add("nmcli", c.script);
    auto port = MakeLinuxDialupPort(QuickOptions());
    DialHandle handle = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->Dial("Provider", handle), c.expected) << c.script;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << c.script;
    EXPECT_EQ(handle, 0u);
  }
}

TEST(LinuxDialTest, WithoutNmcliPonIsUsedAndAPppLinkThatNeverComesUpIsStopped) {
  FakeCommands commands;
  commands.Add("pon");
  commands.Add("poff");
  auto port = MakeLinuxDialupPort(QuickOptions());
  DialHandle handle = 0;
  EXPECT_EQ(port->Dial("x; y", handle), kErrorNoConnection);  // no ppp interface here
  EXPECT_EQ(commands.Calls(), (Lines{"pon", "x; y", "poff", "x; y"}));
}

TEST(LinuxDialTest, APonThatFailsGivesItsExitCode) {
  FakeCommands commands;
  commands.Add("pon", "exit 2");
  commands.Add("poff");
  auto port = MakeLinuxDialupPort(QuickOptions());
  DialHandle handle = 0;
  EXPECT_EQ(port->Dial("Provider", handle), 2);
  EXPECT_EQ(commands.Calls(), (Lines{"pon", "Provider"}));
}

TEST(LinuxDialTest, WithNeitherProgramTheDialFailsForGood) {
  FakeCommands commands;  // an empty PATH
  auto port = MakeLinuxDialupPort(QuickOptions());
  DialHandle handle = 0;
  EXPECT_EQ(port->Dial("Provider", handle), ENOENT);
  port->HangUp(12345);  // unknown: nothing to run
  EXPECT_TRUE(commands.Calls().empty());
}

TEST(LinuxDialTest, CancelEndsADialAndAPauseAtOnce) {
  FakeCommands commands;
  commands.Add("nmcli", "exec /bin/sleep 30");
  LinuxDialupOptions options = QuickOptions();
  options.nmcliWait = 30s;
  auto port = MakeLinuxDialupPort(options);
  std::thread canceller([&] {
    std::this_thread::sleep_for(100ms);
    port->Cancel();
  });
  const auto start = std::chrono::steady_clock::now();
  DialHandle handle = 0;
  EXPECT_EQ(port->Dial("Provider", handle), ECANCELED);
  canceller.join();
  port->Pause(30s);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_EQ(port->Dial("Provider", handle), ECANCELED);
}

}  // namespace
}  // namespace horavex
