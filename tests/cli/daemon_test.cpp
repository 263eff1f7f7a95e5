// horavexd: its arguments, its log lines, and the program itself on loopback.
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <signal.h>
#include <sys/wait.h>

#include <fstream>

#include "cli/daemon.h"
#include "cli/daemon_views.h"
#include "support/loopback_probe.h"
#include "support/peer_process.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;

TEST(DaemonArgs, OptionsAndMistakes) {
  auto p = ParseDaemonArgs({"--profile", "/p.ini", "--dry-run", "--bind", "127.0.0.1"});
  ASSERT_TRUE(p.options) << p.message;
  EXPECT_EQ(*p.options->profile, "/p.ini");
  EXPECT_TRUE(p.options->dryRun);
  EXPECT_EQ(p.options->bindAddress->to_string(), "127.0.0.1");
  EXPECT_FALSE(ParseDaemonArgs({"--bind", "localhost"}).options);
  EXPECT_FALSE(ParseDaemonArgs({"--profile"}).options);
  EXPECT_FALSE(ParseDaemonArgs({"extra"}).options);
  EXPECT_EQ(ParseDaemonArgs({"--help"}).message, DaemonUsage());
}

TEST(DaemonLog, PrintsEachNewRequesterOnce) {
  const std::string one = "UDP: 127.0.0.1 poort:0401\r\n";
  const std::string two = "UDP: 127.0.0.1 poort:0402\r\n";
  const std::string three = "UDP: 127.0.0.1 poort:0403\r\n";
  EXPECT_EQ(NewLogLines(one, ""), std::vector<std::string>{"UDP: 127.0.0.1 poort:0401"});
  // Two requests reached the view together: both are new, newest first.
  EXPECT_EQ(NewLogLines(three + two + one, "UDP: 127.0.0.1 poort:0401"),
            (std::vector<std::string>{"UDP: 127.0.0.1 poort:0403", "UDP: 127.0.0.1 poort:0402"}));
  // A log cut at 150 characters ends inside a line: the piece is not a line.
  EXPECT_EQ(NewLogLines(two + "UDP: 127.0", ""), std::vector<std::string>{"UDP: 127.0.0.1 poort:0402"});
}

bool HasNetwork() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool up = false;
  for (ifaddrs* i = list; i; i = i->ifa_next)
    up = up || ((i->ifa_flags & IFF_UP) && (i->ifa_flags & IFF_RUNNING) && !(i->ifa_flags & IFF_LOOPBACK));
  freeifaddrs(list);
  return up;
}

class DaemonProcess : public ::testing::Test {
 protected:
  std::unique_ptr<PeerProcess> Start(const std::string& profile) {
    std::ofstream(dir_.File("horavex.ini")) << profile;
    std::string error;
    auto p = PeerProcess::Start({HORAVEX_DAEMON_PATH, "--profile", dir_.File("horavex.ini").string(), "--dry-run",
                                 "--bind", "127.0.0.1"},
                                dir_.File("out.log"), error);
    EXPECT_TRUE(p) << error;
    return p;
  }
  static std::string Servers(std::uint16_t timePort, std::uint16_t daytimePort) {
    const std::string t = std::to_string(timePort), d = std::to_string(daytimePort);
    return "[TIME SERVER TCP]\nPort=" + t + "\nStartUp=1\n[time server udp]\nport=" + t + "\nstartup=1\n" +
           "[DAYTIME SERVER TCP]\nPort=" + d + "\nStartUp=1\n[DAYTIME SERVER UDP]\nPort=" + d + "\nStartUp=1\n";
  }
  static int StopAndWait(PeerProcess& p, std::chrono::milliseconds& took) {
    const auto start = std::chrono::steady_clock::now();
    ::kill(p.Pid(), SIGTERM);
    p.AwaitReady([] { return false; }, 3s);
    took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    const int status = p.Stop();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  TempDir dir_;
};

TEST_F(DaemonProcess, ServesTheEnabledServersAndStopsOnSigterm) {
  const std::uint16_t timePort = FreePort(), daytimePort = FreePort();
  auto p = Start(Servers(timePort, daytimePort));
  ASSERT_TRUE(p);
  ASSERT_TRUE(p->AwaitReady([&] { return WaitForTcp(timePort, 50ms) && WaitForTcp(daytimePort, 50ms); }, 5s))
      << p->Log();
  EXPECT_EQ(ExchangeTcp(timePort, {}, 2s).received.size(), 4u);
  EXPECT_EQ(ExchangeTcp(daytimePort, {}, 2s).received.size(), 25u);
  const std::uint8_t empty[1] = {};
  EXPECT_EQ(ExchangeUdp(timePort, std::span(empty, 0), 300ms).size(), 1u);
  EXPECT_EQ(ExchangeUdp(daytimePort, std::span(empty, 1), 300ms).size(), 1u);
  ASSERT_TRUE(p->AwaitReady([&] { return p->Log().find("[Server DayTime UDP] status: 1") != std::string::npos; }, 3s))
      << p->Log();

  std::chrono::milliseconds took{};
  EXPECT_EQ(StopAndWait(*p, took), 0);
  EXPECT_LT(took, 1s);
  const std::string log = p->Log();
  EXPECT_NE(log.find("[Server Time TCP] Adres:127.0.0.1 poort:"), std::string::npos) << log;
  EXPECT_NE(log.find("[Server Time UDP] UDP: 127.0.0.1 poort:"), std::string::npos) << log;
  EXPECT_NE(log.find("[Horavex] Stoppen"), std::string::npos);
}

TEST_F(DaemonProcess, NothingToStartIsAnErrorWithAReason) {
  // A port already taken: the server reports it and nothing else is enabled.
  ScriptedServer taken(Script::Silent(Transport::Udp));
  auto p = Start("[TIME SERVER UDP]\nPort=" + std::to_string(taken.Port()) + "\nStartUp=1\n");
  ASSERT_TRUE(p);
  p->AwaitReady([] { return false; }, 5s);
  const int status = p->Stop();
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(p->Log().find("[Server Time UDP] Melding: 1 ERROR: 98 | Creatie socket NIET mogelijk"), std::string::npos)
      << p->Log();
  EXPECT_NE(p->Log().find("horavexd: niets gestart."), std::string::npos);
}

TEST_F(DaemonProcess, EnabledClientRequestsAtStartInADryRun) {
  if (!HasNetwork()) GTEST_SKIP() << "no network interface is up, so a client rightly asks nothing";
  ScriptedServer server(Script::Answer(Transport::Udp, SntpAnswer(std::time(nullptr) + 30, 0)));
  auto p = Start("[SNTP CLIENT UDP]\nServer=127.0.0.1\nPort=" + std::to_string(server.Port()) + "\nStartUp=1\n");
  ASSERT_TRUE(p);
  EXPECT_TRUE(p->AwaitReady([&] { return p->Log().find("laatste synchronisatie: SNTP") != std::string::npos; }, 5s))
      << p->Log();
  std::chrono::milliseconds took{};
  EXPECT_EQ(StopAndWait(*p, took), 0);
  EXPECT_NE(p->Log().find("[Klok] Droogoefening: de klok zou gezet worden op"), std::string::npos) << p->Log();
  EXPECT_NE(p->Log().find("[Client SNTP UDP] Oke | Tijd is ingesteld..."), std::string::npos);
}

}  // namespace
}  // namespace horavex::testing
