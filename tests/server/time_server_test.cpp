// Starting, stopping, saving and the numbered messages of one server, as its window drives them.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "server_fixture.h"

namespace horavex::testing {
namespace {

class Lifecycle : public ServerFixture, public ::testing::TestWithParam<ServerKind> {
 protected:
  Lifecycle() : ServerFixture(Threads::Same) {}
  ServerKind Kind() const { return GetParam(); }
  // One request to the server, answered or not.
  void Ask(const TimeServer& server) {
    const std::uint16_t port = server.LocalPort();
    if (IsDatagram(Kind())) loop->Call([&] { return WaitForUdpAnswer(port, {}, 2s); });
    else loop->Call([&] { return ExchangeTcp(port, {}, 2s); });
  }
};

TEST_P(Lifecycle, APortInUseSaveAndRestartKeepNumberingMessagesAndBeginTheCountAgain) {
  RecordingServerView blockerView;
  auto blocker = Make(Kind(), 0, &blockerView);
  blocker->StartServer();
  const std::uint16_t port = blocker->LocalPort();
  auto server = Make(Kind(), port);
  server->StartServer();
  EXPECT_FALSE(server->Running());
  EXPECT_EQ(server->GetStatusText(), "disabled");
  EXPECT_EQ(server->LocalPort(), 0);
  EXPECT_EQ(view.errors, std::vector<std::string>{"Melding: 1 ERROR: " + std::to_string(EADDRINUSE) +
                                                  "\r\nCreatie socket NIET mogelijk"});
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
  server->SetPort(70000);  // typed by the user, beyond what a port can be
  server->StopServer();
  server->StartServer();
  EXPECT_FALSE(server->Running());
  EXPECT_EQ(server->MessageCount(), 2);
  EXPECT_EQ(view.errors.back(), "Melding: 2 ERROR: " + std::to_string(EINVAL) + "\r\nCreatie socket NIET mogelijk");
  EXPECT_EQ(view.requestTexts, (std::vector<std::string>{"0", "1", "2", "disabled", "0", "1", "disabled"}));
}

// One of each transport: what differs between the kinds is only the answer.
INSTANTIATE_TEST_SUITE_P(Servers, Lifecycle, ::testing::Values(ServerKind::TimeTcp, ServerKind::DaytimeUdp));

class Settings : public ServerFixture, public ::testing::Test {
 protected:
  Settings() : ServerFixture(Threads::Same) {}
  std::unique_ptr<TimeServer> Read(ServerKind kind) {
    return std::make_unique<TimeServer>(kind, profile, loop->Get(), view, asio::ip::make_address_v4("127.0.0.1"));
  }
};

TEST_F(Settings, WithoutAProfileTheServersUseTheirDefaultPortsAndStayOff) {
  const unsigned ports[] = {37, 37, 13, 13};
  for (int k = 0; k < kServerKindCount; ++k) {
    RecordingServerView own;
    TimeServer server(static_cast<ServerKind>(k), profile, loop->Get(), own);
    EXPECT_EQ(server.Port(), ports[k]);
    server.StartIfEnabled();
    EXPECT_FALSE(server.Running());
    EXPECT_EQ(own.requestTexts, std::vector<std::string>{"disabled"});
  }
  EXPECT_FALSE(std::filesystem::exists(profile.Path()));
}

TEST_F(Settings, EnabledActsOnTheTypedPortAndOnlySaveWritesIt) {
  std::ofstream(profile.Path()) << "[TIME SERVER UDP]\nPort=0\nStartUp=1\n";
  auto server = Read(ServerKind::TimeUdp);
  server->StartIfEnabled();
  ASSERT_TRUE(server->Running());
  const std::uint16_t free = FreePort();
  server->SetPort(free);
  server->SetEnabled(false);
  EXPECT_FALSE(server->Running());
  server->SetEnabled(true);
  EXPECT_EQ(server->LocalPort(), free);
  EXPECT_EQ(Read(ServerKind::TimeUdp)->Port(), 0u);
  server->SetPort(4242);
  server->SetEnabled(false);
  server->Save();
  EXPECT_FALSE(server->Running());
  const auto again = Read(ServerKind::TimeUdp);
  EXPECT_EQ(again->Port(), 4242u);
  EXPECT_FALSE(again->StartUp());
  EXPECT_TRUE(view.errors.empty());
}

TEST_F(Settings, ASaveThatCannotBeWrittenIsShownAndTheServerStillRestarts) {
  std::ofstream(dir.File("file")) << "not a directory";
  Profile unwritable(dir.File("file") / "horavex.ini");
  auto server = std::make_unique<TimeServer>(ServerKind::TimeUdp, unwritable, loop->Get(), view,
                                             asio::ip::make_address_v4("127.0.0.1"));
  server->SetPort(0);
  server->SetEnabled(true);
  server->Save();
  ASSERT_EQ(view.errors.size(), 1u);
  EXPECT_NE(view.errors[0].find("Melding: 1 ERROR: "), std::string::npos);
  EXPECT_NE(view.errors[0].find("\r\nInstellingen NIET te bewaren"), std::string::npos);
  EXPECT_TRUE(server->Running());
}

}  // namespace
}  // namespace horavex::testing
