// Our clients against our servers through real sockets: every pairing that exists.
#include <gtest/gtest.h>

#include "client_fixture.h"
#include "server/time_server.h"

namespace horavex::testing {
namespace {

struct Pairing {
  ClientKind client;
  ServerKind server;
};

class ClientAgainstServer : public ClientTest, public ::testing::WithParamInterface<Pairing> {};
INSTANTIATE_TEST_SUITE_P(Pairings, ClientAgainstServer,
                         ::testing::Values(Pairing{ClientKind::TimeTcp, ServerKind::TimeTcp},
                                           Pairing{ClientKind::TimeUdp, ServerKind::TimeUdp},
                                           Pairing{ClientKind::DaytimeTcp, ServerKind::DaytimeTcp},
                                           Pairing{ClientKind::DaytimeUdp, ServerKind::DaytimeUdp}));

TEST_P(ClientAgainstServer, ClientSetsTheTimeTheServerSent) {
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);  // Daytime crosses in local time: use a real zone
  tzset();
  NullServerView serverView;
  TimeServer server(GetParam().server, profile_, {io_.get_executor(), io_.get_executor()}, serverView,
                    asio::ip::make_address_v4("127.0.0.1"));
  server.SetPort(0);
  server.StartServer();
  ASSERT_TRUE(server.Running());

  // The server answers from the real clock, so the client reads the real time too.
  SimulatedClock clock;
  RecordingView view;
  auto client = MakeClient(GetParam().client, server.LocalPort(), view, &clock);
  client->Settings().m_nMaxOffsetIndex = 1;  // +/- 5 seconds
  Synchro(*client);
  EXPECT_EQ(view.messages, "Oke\r\nTijd is ingesteld...");
  ASSERT_TRUE(clock.LastSet());
  EXPECT_NEAR(static_cast<double>(UnixFromSystemTime(*clock.LastSet())), static_cast<double>(std::time(nullptr)), 2);
  ASSERT_TRUE(RunUntil([&] { return server.GetStatusText() == "1"; })) << server.GetStatusText();
}

}  // namespace
}  // namespace horavex::testing
