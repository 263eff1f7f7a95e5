// Our servers against real clients on loopback: rdate for Time over TCP and UDP (always with -p:
// it only prints, it never sets the clock), nc for Daytime over TCP, socat for Daytime over UDP.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fstream>

#include "server_fixture.h"
#include "support/peer_process.h"
#include "support/require_peer.h"

namespace horavex::testing {
namespace {

class RealClients : public ServerFixture, public ::testing::Test {
 protected:
  RealClients() : ServerFixture(Threads::Split) {}

  struct Run {
    int code = -1;  // the exit code; -1 when it did not end by itself within 5 s
    std::string output;
  };
  Run RunClient(const std::vector<std::string>& argv) {
    std::string error;
    auto process = PeerProcess::Start(argv, dir.File("client" + std::to_string(++runs_) + ".log"), error);
    if (!process) return {-1, error};
    process->AwaitReady([] { return false; }, 5s);  // returns once the client ends
    const int status = process->Stop();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, process->Log()};
  }
  void ExpectDaytimeOfThisYear(const Run& run, const TimeServer& server) {
    EXPECT_EQ(run.code, 0) << run.output;
    ASSERT_EQ(run.output.size(), 25u) << run.output;
    EXPECT_EQ(run.output.substr(20), Year() + "\n");
    EXPECT_TRUE(StatusBecomes(server, "1"));
  }
  std::unique_ptr<TimeServer> Started(ServerKind kind) {
    auto server = Make(kind);
    server->StartServer();
    EXPECT_TRUE(server->Running());
    return server;
  }
  static std::string Year() { return std::to_string(LocalBreakdown(std::time(nullptr)).tm_year + 1900); }

  int runs_ = 0;
};

TEST_F(RealClients, RdateReadsTimeOverTcpAndUdp) {
  HORAVEX_REQUIRE_PEER("rdate");
  for (ServerKind kind : {ServerKind::TimeTcp, ServerKind::TimeUdp}) {
    auto server = Started(kind);
    std::vector<std::string> argv{"rdate", "-p"};
    if (kind == ServerKind::TimeUdp) argv.push_back("-u");
    argv.insert(argv.end(), {"-o", std::to_string(server->LocalPort()), "127.0.0.1"});
    const std::time_t before = std::time(nullptr);
    const Run run = RunClient(argv);
    EXPECT_EQ(run.code, 0) << run.output;
    // It prints the time it read in local time, as "Sun Dec  6 20:25:16 CET 2026".
    bool now = false;
    for (std::time_t t = before; t <= std::time(nullptr); ++t)
      now |= run.output.find(FormatClockTime(t)) != std::string::npos;
    EXPECT_TRUE(now) << run.output;
    EXPECT_NE(run.output.find(Year()), std::string::npos) << run.output;
    EXPECT_TRUE(StatusBecomes(*server, "1"));
  }
}

TEST_F(RealClients, NcReadsDaytimeOverTcp) {
  HORAVEX_REQUIRE_PEER("nc");
  auto server = Started(ServerKind::DaytimeTcp);
  // Sends nothing, and ends when the server ends the connection.
  ExpectDaytimeOfThisYear(RunClient({"nc", "-w", "3", "127.0.0.1", std::to_string(server->LocalPort())}), *server);
}

TEST_F(RealClients, SocatReadsDaytimeOverUdp) {
  HORAVEX_REQUIRE_PEER("socat");
  auto server = Started(ServerKind::DaytimeUdp);
  std::ofstream(dir.File("request")) << "QZ";
  // Reads the request from the file, writes the answer to its output, and waits 1 s for it.
  ExpectDaytimeOfThisYear(RunClient({"socat", "-t", "1", "OPEN:" + dir.File("request").string() + "!!STDOUT",
                                     "UDP:127.0.0.1:" + std::to_string(server->LocalPort())}),
                          *server);
}

}  // namespace
}  // namespace horavex::testing
