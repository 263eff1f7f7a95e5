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

struct ClientCase {
  const char* name;
  ServerKind kind;
  std::vector<std::string> argv;  // "PORT" stands for the server's port
  std::string output;             // what the client must print
};

void PrintTo(const ClientCase& c, std::ostream* os) { *os << c.name; }

class RealClients : public ServerFixture, public ::testing::TestWithParam<ClientCase> {
 protected:
  RealClients() : ServerFixture(Threads::Split) {}
};

TEST_P(RealClients, ReadTheAnswerOfTheSimulatedClock) {
  const ClientCase& c = GetParam();
  HORAVEX_REQUIRE_PEER(c.argv[0]);
  auto server = Started(c.kind);
  std::ofstream(dir.File("request")) << "QZ";
  std::vector<std::string> argv;
  for (std::string a : c.argv) {
    if (const auto at = a.find("PORT"); at != std::string::npos) a.replace(at, 4, std::to_string(server->LocalPort()));
    if (const auto at = a.find("REQUEST"); at != std::string::npos) a.replace(at, 7, dir.File("request").string());
    argv.push_back(a);
  }
  std::string error;
  auto process = PeerProcess::Start(argv, dir.File("client.log"), error);
  ASSERT_TRUE(process) << error;
  process->AwaitReady([] { return false; }, 5s);  // returns once the client ends
  const int status = process->Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << process->Log();
  EXPECT_NE(process->Log().find(c.output), std::string::npos) << process->Log();
  EXPECT_TRUE(StatusBecomes(*server, "1"));
}

INSTANTIATE_TEST_SUITE_P(
    Clients, RealClients,
    ::testing::Values(
        ClientCase{"RdateTcp", ServerKind::TimeTcp, {"rdate", "-p", "-o", "PORT", "127.0.0.1"}, "Wed Jan  1 01:00:00 CET 2003"},
        ClientCase{"RdateUdp", ServerKind::TimeUdp, {"rdate", "-p", "-u", "-o", "PORT", "127.0.0.1"}, "Wed Jan  1 01:00:00 CET 2003"},
        ClientCase{"NcDaytimeTcp", ServerKind::DaytimeTcp, {"nc", "-w", "3", "127.0.0.1", "PORT"}, "Wed Jan 01 01:00:00 2003\n"},
        // Reads the request from the file, writes the answer to its output, and waits 1 s for it.
        ClientCase{"SocatDaytimeUdp", ServerKind::DaytimeUdp, {"socat", "-t", "1", "OPEN:REQUEST!!STDOUT", "UDP:127.0.0.1:PORT"},
                   "Wed Jan 01 01:00:00 2003\n"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace horavex::testing
