// Each server's answer, exactly, on a simulated clock; starting, stopping, saving and the
// numbered messages of one server as its window drives them.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "server_fixture.h"

namespace horavex::testing {
namespace {

struct AnswerCase {
  const char* name;
  ServerKind kind;
  Bytes atNow, secondLater;  // the answer at kNow, and one second later
  std::string logLine;       // without the port
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

Bytes Text(const std::string& s) { return {s.begin(), s.end()}; }

class Answers : public ServerFixture, public ::testing::TestWithParam<AnswerCase> {
 protected:
  // The sockets run on their own thread and the logic side does not run: answers must not wait.
  Answers() : ServerFixture(Threads::Split) {}
  Bytes Ask(std::uint16_t port) {
    if (IsDatagram(GetParam().kind)) return WaitForUdpAnswer(port, {}, 2s).value_or(Bytes{});
    const TcpExchange tcp = ExchangeTcp(port, {}, 2s);
    EXPECT_TRUE(tcp.closedByPeer && tcp.error == 0);
    return tcp.received;
  }
};

TEST_P(Answers, AreExactAtTheClocksSecondAndCountedAndLogged) {
  const AnswerCase& c = GetParam();
  auto server = Started(c.kind);
  EXPECT_EQ(Ask(server->LocalPort()), c.atNow);
  time.Advance(1s);
  EXPECT_EQ(Ask(server->LocalPort()), c.secondLater);
  ASSERT_TRUE(StatusBecomes(*server, "2"));
  EXPECT_EQ(view.messages.substr(0, c.logLine.size()), c.logLine);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, Answers,
    ::testing::Values(
        AnswerCase{"TimeTcp", ServerKind::TimeTcp, {0xC1, 0xBC, 0xAE, 0x00}, {0xC1, 0xBC, 0xAE, 0x01}, "Adres:127.0.0.1 poort:"},
        AnswerCase{"TimeUdp", ServerKind::TimeUdp, {0xC1, 0xBC, 0xAE, 0x00}, {0xC1, 0xBC, 0xAE, 0x01}, "UDP: 127.0.0.1 poort:"},
        AnswerCase{"DaytimeTcp", ServerKind::DaytimeTcp, Text("Wed Jan 01 01:00:00 2003\n"),
                   Text("Wed Jan 01 01:00:01 2003\n"), "Adres:127.0.0.1 poort:"},
        AnswerCase{"DaytimeUdp", ServerKind::DaytimeUdp, Text("Wed Jan 01 01:00:00 2003\n"),
                   Text("Wed Jan 01 01:00:01 2003\n"), "UDP: 127.0.0.1 poort:"}),
    [](const auto& p) { return std::string(p.param.name); });

class Lifecycle : public ServerFixture, public ::testing::TestWithParam<ServerKind> {
 protected:
  Lifecycle() : ServerFixture(Threads::Same) {}
  void Ask(const TimeServer& server) {
    const std::uint16_t port = server.LocalPort();
    if (IsDatagram(GetParam())) loop->Call([&] { return WaitForUdpAnswer(port, {}, 2s); });
    else loop->Call([&] { return ExchangeTcp(port, {}, 2s); });
  }
};

std::string Message(int number, int error) {
  return "Melding: " + std::to_string(number) + " ERROR: " + std::to_string(error) + "\r\nCreatie socket NIET mogelijk";
}

TEST_P(Lifecycle, APortInUseSaveAndRestartKeepNumberingMessagesAndBeginTheCountAgain) {
  RecordingServerView blockerView;
  auto blocker = Started(GetParam(), &blockerView);
  const std::uint16_t port = blocker->LocalPort();
  auto server = Make(GetParam(), port);
  server->StartServer();
  EXPECT_EQ(server->GetStatusText(), "disabled");
  EXPECT_EQ(view.errors, std::vector<std::string>{Message(1, EADDRINUSE)});
  blocker->StopServer();
  server->SetEnabled(true);
  ASSERT_TRUE(server->Running());
  Ask(*server);
  Ask(*server);  // a TCP server now holds connections in TIME_WAIT
  ASSERT_TRUE(StatusBecomes(*server, "2"));
  server->Save();
  ASSERT_TRUE(server->Running()) << view.messages;
  EXPECT_EQ(server->LocalPort(), port);
  EXPECT_EQ(server->GetStatusText(), "0");
  Ask(*server);
  ASSERT_TRUE(StatusBecomes(*server, "1"));
  // Typed by the user: beyond what a port can be, and 0, which would bind a port nobody knows.
  for (unsigned typed : {70000u, 0u}) {
    server->SetPort(typed);
    server->StopServer();
    server->StartServer();
    EXPECT_FALSE(server->Running());
  }
  EXPECT_EQ(view.errors, (std::vector<std::string>{Message(1, EADDRINUSE), Message(2, EINVAL), Message(3, EINVAL)}));
  EXPECT_EQ(view.requestTexts, (std::vector<std::string>{"0", "1", "2", "disabled", "0", "1", "disabled"}));
}

// One of each transport: what differs between the kinds is only the answer.
INSTANTIATE_TEST_SUITE_P(Servers, Lifecycle, ::testing::Values(ServerKind::TimeTcp, ServerKind::DaytimeUdp),
                         [](const auto& p) { return p.param == ServerKind::TimeTcp ? "TimeTcp" : "DaytimeUdp"; });

class Settings : public ServerFixture, public ::testing::Test {
 protected:
  Settings() : ServerFixture(Threads::Same) {}
};

TEST_F(Settings, EnabledActsOnTheTypedPortAndOnlySaveWritesIt) {
  const std::uint16_t saved = FreePort();
  std::ofstream(profile.Path()) << "[TIME SERVER UDP]\nPort=" << saved << "\nStartUp=1\n";
  auto server = Make(ServerKind::TimeUdp);
  server->StartIfEnabled();
  EXPECT_EQ(server->LocalPort(), saved);
  const std::uint16_t typed = FreePort();
  server->SetPort(typed);
  server->SetEnabled(false);
  server->SetEnabled(true);
  EXPECT_EQ(server->LocalPort(), typed);
  EXPECT_EQ(Make(ServerKind::TimeUdp)->Port(), saved);
  server->SetEnabled(false);
  server->Save();
  EXPECT_FALSE(server->Running());
  const auto again = Make(ServerKind::TimeUdp);
  EXPECT_EQ(again->Port(), typed);
  EXPECT_FALSE(again->StartUp());
  EXPECT_TRUE(view.errors.empty());
}

TEST_F(Settings, ASaveThatCannotBeWrittenIsShownAndTheServerStillRestarts) {
  std::ofstream(dir.File("file")) << "not a directory";
  Profile unwritable(dir.File("file") / "horavex.ini");
  TimeServer server(ServerKind::TimeUdp, {loop->Get(), unwritable, clock}, view, asio::ip::make_address_v4("127.0.0.1"));
  server.SetPort(FreePort());
  server.SetEnabled(true);
  server.Save();
  ASSERT_EQ(view.errors.size(), 1u);
  EXPECT_EQ(view.errors[0].rfind("Melding: 1 ERROR: ", 0), 0u);
  EXPECT_TRUE(view.errors[0].ends_with("\r\nInstellingen NIET te bewaren"));
  EXPECT_TRUE(server.Running());
}

}  // namespace
}  // namespace horavex::testing
