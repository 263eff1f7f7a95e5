// horavexd: its arguments, its log lines, and the program itself on loopback.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <iomanip>
#include <sstream>
#include <thread>

#include "cli/daemon.h"
#include "support/fake_dialup_port.h"
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
  for (const char* bad : {"localhost", "224.0.0.1", "ff02::1", "255.255.255.255", "--profile", "extra"})
    EXPECT_FALSE(ParseDaemonArgs({"--bind", bad}).options || ParseDaemonArgs({bad}).options) << bad;
  // An IPv4-mapped address is the IPv4 address it carries: an IPv6 socket could not bind it.
  EXPECT_EQ(ParseDaemonArgs({"--bind", "::ffff:127.0.0.1"}).options->bindAddress, asio::ip::make_address("127.0.0.1"));
}

class DaemonProcess : public ::testing::Test {
 protected:
  // horavexd on `profile`, its output to `out` (a file, or /proc/self/fd/N of a pipe of ours).
  std::unique_ptr<PeerProcess> Start(const std::string& profile, const std::string& out = "",
                                     const char* bind = "127.0.0.1") {
    std::ofstream(dir_.File("horavex.ini")) << profile;
    std::string error;
    auto p = PeerProcess::Start({HORAVEX_DAEMON_PATH, "--profile", dir_.File("horavex.ini").string(), "--dry-run",
                                 "--bind", bind},
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

// On ::1 where the machine has it, as a machine with IPv6 alone would ask.
TEST_F(DaemonProcess, GivesTheQueryTheTimeSwapsTwoServersPortsOnSighupSaysWhichCouldNotStartAndStopsOnSigterm) {
  const char* at = HasIpv6Loopback() ? "::1" : "127.0.0.1";
  const std::uint16_t p = FreePort(), q = FreePort();
  // Daytime over TCP finds its port taken by Time over TCP.
  const auto servers = [](std::uint16_t timeUdp, std::uint16_t daytimeUdp, std::uint16_t tcp) {
    std::string profile;
    for (const auto& [section, port] : {std::pair{"TIME SERVER UDP", timeUdp}, {"DAYTIME SERVER UDP", daytimeUdp},
                                        {"TIME SERVER TCP", tcp}, {"DAYTIME SERVER TCP", tcp}})
      profile += "[" + std::string(section) + "]\nPort=" + std::to_string(port) + "\nStartUp=1\n";
    return profile;
  };
  const auto answerSize = [&](std::uint16_t port) { return WaitForUdpAnswer(port, {}, 1s, at).value_or(Bytes{}).size(); };
  auto p1 = Start(servers(p, q, p), "", at);
  ASSERT_TRUE(p1 && p1->AwaitReady([&] { return answerSize(p) == 4; }, 5s)) << p1->Log();
  for (const auto& [kind, port] : {std::pair{"daytime-udp", q}, {"time-tcp", p}}) {
    std::string error;
    auto query = PeerProcess::Start({HORAVEX_QUERY_PATH, kind, at, std::to_string(port)}, dir_.File(kind), error);
    ASSERT_TRUE(query && !query->AwaitReady([] { return false; }, 5s) && query->Stop() == 0) << error << (query ? query->Log() : "");
    // Its last line is the server's time in ISO 8601 UTC.
    std::tm utc{};
    const std::string log = query->Log();
    std::istringstream(log.substr(log.rfind('\n', log.size() - 2) + 1)) >> std::get_time(&utc, "%Y-%m-%dT%H:%M:%S");
    EXPECT_LE(std::abs(timegm(&utc) - std::time(nullptr)), 3) << log;
  }
  EXPECT_TRUE(Logged(*p1, "[Server DayTime TCP] Melding: 1 ERROR: 98 | Creatie socket NIET mogelijk"));
  EXPECT_TRUE(Logged(*p1, "[Server DayTime TCP] status: Err:Start"));
  std::ofstream(dir_.File("horavex.ini")) << servers(q, p, p);
  ::kill(p1->Pid(), SIGHUP);
  EXPECT_TRUE(p1->AwaitReady([&] { return answerSize(q) == 4 && answerSize(p) > 4; }, 3s)) << p1->Log();
  ::kill(p1->Pid(), SIGTERM);
  p1->AwaitReady([] { return false; }, 1s);
  EXPECT_FALSE(p1->Running()) << "ended within a second";
  EXPECT_EQ(p1->Stop(), 0);
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

// horavexd's logic in this process, its clients' network checks through a fake port: the profile
// is read again while a request waits for its dial or for a server that never answers.
struct ReloadCase {
  const char* name;
  int checkConnect;    // 2: the request dials first, and the dial takes a while
  const char* change;  // what becomes of the profile: "gone", "folder", "garbage", or "client" (its server)
  const char* logged;  // what the reload says
};
class DaemonReload : public ::testing::TestWithParam<ReloadCase> {};

TEST_P(DaemonReload, KeepsWhatRunsUnlessTheProfileIsReadAndLetsAReplacedClientsRequestEnd) {
  const ReloadCase& c = GetParam();
  TempDir dir;
  asio::io_context unused;
  asio::ip::udp::socket silent(unused, {asio::ip::make_address_v4("127.0.0.1"), 0});
  ScriptedServer sntp(Script::Answer(Transport::Udp, SntpAnswer(std::time(nullptr) + 30, 0)));
  const std::uint16_t p = FreePort(), q = FreePort();
  const auto profile = [&](std::uint16_t client) {
    return "[TIME SERVER UDP]\nPort=" + std::to_string(p) + "\nStartUp=1\n[DAYTIME SERVER UDP]\nPort=" + std::to_string(q) +
           "\nStartUp=1\n[COMMON]\nCheckConnect=" + std::to_string(c.checkConnect) + "\nConnection=modem\n" +
           "[SNTP CLIENT UDP]\nServer=127.0.0.1\nStartUp=1\nPort=" + std::to_string(client) + "\n";
  };
  const std::filesystem::path file = dir.File("horavex.ini");
  std::ofstream(file) << profile(silent.local_endpoint().port());
  auto port = std::make_unique<FakeDialupPort>();
  port->dialBlocks = 300ms;
  const int out = open(dir.File("out.log").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  Daemon daemon({file, true, asio::ip::make_address_v4("127.0.0.1")}, out, std::move(port));
  ASSERT_TRUE(daemon.Start());
  std::thread runner([&] { daemon.Run(); });
  std::this_thread::sleep_for(100ms);  // the client's request waits now
  const std::string change = c.change;
  if (change != "client") std::filesystem::remove(file);
  if (change == "folder") std::filesystem::create_directory(file);
  if (change == "garbage") std::ofstream(file) << "\x7f" "ELF\x02\x01\x01\n[[==]]\n";
  if (change == "client") std::ofstream(file) << profile(sntp.Port());
  asio::post(daemon.Io(), [&] { daemon.Reload(); });
  const auto log = [&] { return ReadFile(dir.File("out.log")); };
  for (int i = 0; i < 100 && log().find(c.logged) == std::string::npos; ++i) std::this_thread::sleep_for(20ms);
  EXPECT_NE(log().find(c.logged), std::string::npos) << log();
  EXPECT_EQ(WaitForUdpAnswer(p, {}, 1s).value_or(Bytes{}).size(), 4u) << "Time goes on";
  EXPECT_GT(WaitForUdpAnswer(q, {}, 1s).value_or(Bytes{}).size(), 4u) << "Daytime goes on";
  // The new client's dry run says what it would set, and from where; it set nothing.
  EXPECT_EQ(log().find("[Client SNTP UDP] Droogoefening: de klok zou op ") != std::string::npos, change == "client");
  EXPECT_EQ(log().find("laatste synchronisatie: SNTP"), std::string::npos);
  asio::post(daemon.Io(), [&] { daemon.Stop(); });
  runner.join();
  EXPECT_EQ(TimeClient::RunningRequests(), 0) << "the stop waited for every request";
  close(out);
}

INSTANTIATE_TEST_SUITE_P(
    Daemon, DaemonReload,
    ::testing::Values(
        ReloadCase{"ProfileGone", 0, "gone", "bestaat niet (meer); alles blijft draaien zoals het was"},
        ReloadCase{"ProfileIsAFolder", 0, "folder", "het is een map [ERROR: 21]; alles blijft draaien zoals het was"},
        ReloadCase{"ProfileIsGarbage", 0, "garbage", "noemt geen server en geen client; alles blijft draaien zoals het was"},
        ReloadCase{"ClientReplacedWhileItDials", 2, "client", "gezet worden, correctie +"},
        ReloadCase{"ClientReplacedWhileItsServerIsSilent", 0, "client", "gezet worden, correctie +"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace horavex::testing
