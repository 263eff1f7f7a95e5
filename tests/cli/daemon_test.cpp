// horavexd: its arguments, its log lines, and the program itself on loopback.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>

#include "cli/daemon.h"
#include "platform/dialup_port.h"
#include "support/loopback_probe.h"
#include "support/peer_process.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;

// The options that work are those the process tests below start it with.
TEST(DaemonArgs, Mistakes) {
  // Group and broadcast addresses are no address of this machine to serve on.
  for (const char* bad : {"localhost", "224.0.0.1", "255.255.255.255", "--profile", "extra"})
    EXPECT_FALSE(ParseDaemonArgs({"--bind", bad}).options || ParseDaemonArgs({bad}).options) << bad;
}

class DaemonProcess : public ::testing::Test {
 protected:
  // horavexd on `profile`, its output to `out` (a file, or /proc/self/fd/N of a pipe of ours).
  std::unique_ptr<PeerProcess> Start(const std::string& profile, const std::string& out = "") {
    std::ofstream(dir_.File("horavex.ini")) << profile;
    std::string error;
    auto p = PeerProcess::Start({HORAVEX_DAEMON_PATH, "--profile", dir_.File("horavex.ini").string(), "--dry-run",
                                 "--bind", "127.0.0.1"},
                                out.empty() ? dir_.File("out.log").string() : out, error);
    EXPECT_TRUE(p) << error;
    return p;
  }
  static std::string TimeServers(std::uint16_t port) {
    const std::string p = std::to_string(port);
    return "[TIME SERVER TCP]\nPort=" + p + "\nStartUp=1\n[time server udp]\nport=" + p + "\nstartup=1\n";
  }
  // Time over UDP and TCP answers `count` requests in a row.
  static bool Answers(std::uint16_t port, int count = 1) {
    bool all = true;
    for (int i = 0; all && i < count; ++i)
      all = WaitForUdpAnswer(port, {}, 1s) && Peer(Peer::Type::Tcp, port).Receive(1s).size() == 2;
    return all;
  }
  static bool Logged(PeerProcess& p, const std::string& text) {
    return p.AwaitReady([&] { return p.Log().find(text) != std::string::npos; }, 3s);
  }
  TempDir dir_;
};

TEST_F(DaemonProcess, ServesMovesToANewPortOnSighupAndStopsOnSigterm) {
  const std::uint16_t port = FreePort(), moved = FreePort();
  auto p = Start(TimeServers(port) + "[DAYTIME SERVER UDP]\nPort=" + std::to_string(port) + "\nStartUp=1\n");
  ASSERT_TRUE(p && p->AwaitReady([&] { return Answers(port); }, 5s)) << p->Log();
  EXPECT_TRUE(Logged(*p, "[Server DayTime UDP] Melding: 1 ERROR: 98 | Creatie socket NIET mogelijk"));
  std::ofstream(dir_.File("horavex.ini")) << TimeServers(moved);
  ::kill(p->Pid(), SIGHUP);
  EXPECT_TRUE(p->AwaitReady([&] { return Answers(moved); }, 3s)) << p->Log();
  EXPECT_FALSE(WaitForUdpAnswer(port, {}, 200ms));
  ::kill(p->Pid(), SIGTERM);
  p->AwaitReady([] { return false; }, 1s);
  EXPECT_FALSE(p->Running()) << "ended within a second";
  EXPECT_EQ(p->Stop(), 0);
}

TEST_F(DaemonProcess, ServesOnWhileItsOutputIsStalledOrGoneAndSaysHowManyLinesItDropped) {
  int out[2];
  ASSERT_EQ(pipe2(out, O_CLOEXEC | O_NONBLOCK), 0);
  for (; write(out[1], "x", 1) == 1;) continue;
  const std::uint16_t port = FreePort();
  auto p = Start(TimeServers(port), "/proc/self/fd/" + std::to_string(out[1]));
  ASSERT_TRUE(p && p->AwaitReady([&] { return Answers(port, 20); }, 5s));
  std::string text(1 << 20, '\0');
  for (; read(out[0], text.data(), text.size()) > 0;) continue;
  EXPECT_TRUE(Answers(port));
  EXPECT_TRUE(p->AwaitReady([&] {
    return read(out[0], text.data(), text.size()) > 0 &&
           text.find(" regels weggelaten: de uitvoer liep vol\n") != std::string::npos;
  }, 3s));
  close(out[0]), close(out[1]);
  EXPECT_TRUE(Answers(port, 20));  // with nobody reading at all
}

TEST_F(DaemonProcess, EnabledClientRequestsAtStartInADryRun) {
  unsigned flags = 0;
  if (!MakeSystemDialupPort()->GetConnectedState(flags)) GTEST_SKIP() << "no network is up, so a client rightly asks nothing";
  ScriptedServer server(Script::Answer(Transport::Udp, SntpAnswer(std::time(nullptr) + 30, 0)));
  auto p = Start("[SNTP CLIENT UDP]\nServer=127.0.0.1\nPort=" + std::to_string(server.Port()) + "\nStartUp=1\n");
  ASSERT_TRUE(p);
  EXPECT_TRUE(Logged(*p, "[Klok] Droogoefening: de klok zou gezet worden op"));
  EXPECT_TRUE(Logged(*p, "[Client SNTP UDP] Oke | Tijd is ingesteld..."));
}

}  // namespace
}  // namespace horavex::testing
