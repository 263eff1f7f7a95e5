// horavexd: its arguments, its log lines, and the program itself on loopback.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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
  // Group and broadcast addresses are no address of this machine to serve on.
  for (const char* bad : {"localhost", "224.0.0.1", "239.255.1.2", "255.255.255.255"})
    EXPECT_EQ(ParseDaemonArgs({"--bind", bad}).message.rfind("Ongeldig IPv4-adres: " + std::string(bad) + "\n", 0), 0u);
  EXPECT_FALSE(ParseDaemonArgs({"--profile"}).options);
  EXPECT_FALSE(ParseDaemonArgs({"extra"}).options);
}

TEST(DaemonLog, PrintsEachNewRequesterOnce) {
  const std::string one = "UDP: 127.0.0.1 poort:0401\r\n", two = "UDP: 127.0.0.1 poort:0402\r\n";
  EXPECT_EQ(NewLogLines(one, ""), std::vector<std::string>{"UDP: 127.0.0.1 poort:0401"});
  // Two requests reached the view together: both are new, newest first.
  EXPECT_EQ(NewLogLines("UDP: 127.0.0.1 poort:0403\r\n" + two + one, "UDP: 127.0.0.1 poort:0401"),
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
  // horavexd on `profile`, its output to `out` (a file, or /proc/self/fd/N of a pipe of ours).
  std::unique_ptr<PeerProcess> Start(const std::string& profile, const std::filesystem::path& out) {
    std::ofstream(dir_.File("horavex.ini")) << profile;
    std::string error;
    auto p = PeerProcess::Start({HORAVEX_DAEMON_PATH, "--profile", dir_.File("horavex.ini").string(), "--dry-run",
                                 "--bind", "127.0.0.1"},
                                out, error);
    EXPECT_TRUE(p) << error;
    return p;
  }
  static std::string TimeServers(std::uint16_t port) {
    return "[TIME SERVER TCP]\nPort=" + std::to_string(port) + "\nStartUp=1\n[time server udp]\nport=" +
           std::to_string(port) + "\nstartup=1\n";
  }
  // Time over UDP and TCP answers `count` requests in a row.
  static bool Answers(std::uint16_t port, int count) {
    for (int i = 0; i < count; ++i) {
      if (!WaitForUdpAnswer(port, {}, 1s) || ExchangeTcp(port, {}, 1s).received.size() != 4) return false;
    }
    return true;
  }
  TempDir dir_;
};

TEST_F(DaemonProcess, ServesTheEnabledServersAndStopsOnSigterm) {
  const std::uint16_t port = FreePort();
  auto p = Start(TimeServers(port) + "[DAYTIME SERVER UDP]\nPort=" + std::to_string(port) + "\nStartUp=1\n",
                 dir_.File("out.log"));
  ASSERT_TRUE(p && p->AwaitReady([&] { return WaitForTcp(port, 50ms); }, 5s)) << p->Log();
  EXPECT_TRUE(Answers(port, 1));
  ASSERT_TRUE(p->AwaitReady([&] { return p->Log().find("[Server Time UDP] status: 1") != std::string::npos; }, 3s))
      << p->Log();
  ::kill(p->Pid(), SIGTERM);
  p->AwaitReady([] { return false; }, 1s);
  EXPECT_FALSE(p->Running()) << "ended within a second";
  EXPECT_EQ(p->Stop(), 0);
  EXPECT_NE(p->Log().find("[Server Time TCP] Adres:127.0.0.1 poort:"), std::string::npos) << p->Log();
  EXPECT_NE(p->Log().find("[Server DayTime UDP] Melding: 1 ERROR: 98 | Creatie socket NIET mogelijk"),
            std::string::npos);
  EXPECT_NE(p->Log().find("[Horavex] Stoppen"), std::string::npos);
}

TEST_F(DaemonProcess, NothingToStartIsAnErrorWithAReason) {
  auto p = Start("[TIME SERVER UDP]\nPort=0\nStartUp=1\n", dir_.File("out.log"));
  ASSERT_TRUE(p);
  p->AwaitReady([] { return false; }, 5s);
  EXPECT_EQ(p->Stop(), 1 << 8);
  EXPECT_NE(p->Log().find("[Server Time UDP] Melding: 1 ERROR: 22 | Creatie socket NIET mogelijk"), std::string::npos)
      << p->Log();
  EXPECT_NE(p->Log().find("[Horavex] Niets gestart."), std::string::npos);
}

TEST_F(DaemonProcess, ServesOnWhileItsOutputIsStalledAndSaysHowManyLinesItDropped) {
  int pipeFds[2];
  ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK), 0);
  while (write(pipeFds[1], "x", 1) == 1) {
  }
  const std::uint16_t port = FreePort();
  auto p = Start(TimeServers(port), "/proc/self/fd/" + std::to_string(pipeFds[1]));
  ASSERT_TRUE(p && p->AwaitReady([&] { return WaitForTcp(port, 50ms); }, 5s));
  EXPECT_TRUE(Answers(port, 20));
  std::string out(1 << 20, '\0');
  while (read(pipeFds[0], out.data(), out.size()) > 0) {
  }
  EXPECT_TRUE(Answers(port, 1));
  EXPECT_TRUE(p->AwaitReady([&] {
    const ssize_t n = read(pipeFds[0], out.data(), out.size());
    return n > 0 && out.find(" regels weggelaten: de uitvoer liep vol\n") != std::string::npos;
  }, 3s));
  close(pipeFds[0]);
  // A reader that went away costs the log, not the servers.
  EXPECT_TRUE(Answers(port, 20));
  EXPECT_TRUE(p->Running());
  close(pipeFds[1]);
}

TEST_F(DaemonProcess, SighupMovesAServerToItsNewPort) {
  const std::uint16_t before = FreePort(), after = FreePort();
  auto p = Start(TimeServers(before), dir_.File("out.log"));
  ASSERT_TRUE(p && p->AwaitReady([&] { return WaitForTcp(before, 50ms); }, 5s)) << p->Log();
  std::ofstream(dir_.File("horavex.ini")) << TimeServers(after);
  ::kill(p->Pid(), SIGHUP);
  EXPECT_TRUE(p->AwaitReady([&] { return Answers(after, 1); }, 3s)) << p->Log();
  EXPECT_TRUE(ExchangeUdp(before, {}, 200ms).empty());
}

TEST_F(DaemonProcess, EnabledClientRequestsAtStartInADryRun) {
  if (!HasNetwork()) GTEST_SKIP() << "no network interface is up, so a client rightly asks nothing";
  ScriptedServer server(Script::Answer(Transport::Udp, SntpAnswer(std::time(nullptr) + 30, 0)));
  auto p = Start("[SNTP CLIENT UDP]\nServer=127.0.0.1\nPort=" + std::to_string(server.Port()) + "\nStartUp=1\n",
                 dir_.File("out.log"));
  ASSERT_TRUE(p);
  EXPECT_TRUE(p->AwaitReady([&] { return p->Log().find("laatste synchronisatie: SNTP") != std::string::npos; }, 5s))
      << p->Log();
  EXPECT_NE(p->Log().find("[Klok] Droogoefening: de klok zou gezet worden op"), std::string::npos) << p->Log();
  EXPECT_NE(p->Log().find("[Client SNTP UDP] Oke | Tijd is ingesteld..."), std::string::npos);
}

}  // namespace
}  // namespace horavex::testing
