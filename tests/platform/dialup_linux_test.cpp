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

const LinuxDialupOptions kQuick{
    .nmcliWait = 1s, .commandSlack = 300ms, .pppUpWait = 300ms, .commandLimit = 2s, .pollStep = 20ms};

TEST(LinuxDialTest, ANameReachesNmcliAsOneArgumentAndIsNeverRunByAShell) {
  FakeCommands commands;
  commands.Add("nmcli");
  const std::string canary = (commands.Dir() / "injected").string();
  const std::string names[] = {"x; touch " + canary, "$(touch " + canary + ")", "`touch " + canary + "`",
                               "two words", "-h", "'quoted' \"twice\"", ""};
  auto port = MakeLinuxDialupPort(kQuick);
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
    auto port = MakeLinuxDialupPort(kQuick);
    DialHandle handle = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port->Dial("Provider", handle), c.expected) << c.script;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << c.script;
    EXPECT_EQ(handle, 0u);
  }
}

TEST(LinuxDialTest, WithoutNmcliPonIsUsedAndAPppLinkThatNeverComesUpIsStopped) {
  const struct {
    const char* pon;  // nullptr: neither pon nor poff is there
    int expected;
    Lines calls;
  } cases[] = {
      {"exit 0", kErrorNoConnection, {"pon", "x; y", "poff", "x; y"}},  // no ppp interface comes up here
      {"exit 2", 2, {"pon", "x; y"}},
      {nullptr, ENOENT, {}},
  };
  for (const auto& c : cases) {
    FakeCommands commands;
    std::ofstream(commands.Dir() / "nmcli") << "not executable, so not there";
    if (c.pon) {
      commands.Add("pon", c.pon);
      commands.Add("poff");
    }
    auto port = MakeLinuxDialupPort(kQuick);
    DialHandle handle = 0;
    EXPECT_EQ(port->Dial("x; y", handle), c.expected) << c.expected;
    port->HangUp(12345);  // never dialled: nothing to run
    EXPECT_EQ(commands.Calls(), c.calls) << c.expected;
  }
}

TEST(LinuxDialTest, CancelEndsADialAndAPauseAtOnce) {
  FakeCommands commands;
  commands.Add("nmcli", "exec /bin/sleep 30");
  LinuxDialupOptions options = kQuick;
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
