// Our clients against real servers on loopback: chrony for SNTP, xinetd's internal Time and
// Daytime services. The clock the clients set is simulated over the real time.
#include <gtest/gtest.h>

#include <cmath>

#include <asio/io_context.hpp>

#include "client/time_client.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "platform/simulated_clock.h"
#include "support/peers.h"
#include "support/fake_dialup_port.h"
#include "support/require_peer.h"

namespace horavex::testing {
namespace {

// Asks the peer at 127.0.0.1:`port` once: the failure text, "" for success with a time set within
// 2 seconds of now.
std::string Ask(ClientKind kind, std::uint16_t port) {
  TempDir dir;
  Profile profile(dir.File("horavex.ini"));
  asio::io_context io;
  DialupService dialup(std::make_unique<FakeDialupPort>(), io.get_executor());
  SimulatedClock clock;  // the real time, read only
  NullClientView view;
  TimeClient client(kind, ClientServices{{io.get_executor(), io.get_executor()}, profile, clock, dialup}, view);
  client.Settings().m_server = "127.0.0.1", client.Settings().m_port = port, client.Settings().m_warnLevel = 0;
  client.Settings().m_maxOffsetIndex = 1;  // +/- 5 seconds: a sane peer is well within
  client.SetFinishedObserver([&] { io.stop(); });
  client.DoSynchro();
  io.run_for(std::chrono::seconds(10));
  const auto set = UnixFromSystemTime(clock.LastSet().value_or(SystemTimeFromUnix(0, 0)));
  return client.LastOutcome().failure + (std::abs(set - std::time(nullptr)) < 2 ? "" : " set to " + std::to_string(set));
}

TEST(RealPeers, SntpClientAgainstChrony) {
  HORAVEX_REQUIRE_PEER("chronyd");
  std::string error;
  auto chrony = TimePeer::Chrony(error);
  ASSERT_TRUE(chrony) << error;
  EXPECT_EQ(Ask(ClientKind::SntpUdp, chrony->Port()), "");
}

TEST(RealPeers, TimeAndDaytimeClientsAgainstXinetd) {
  HORAVEX_REQUIRE_PEER("xinetd");
  std::string error;
  auto xinetd = TimePeer::Xinetd(error);
  ASSERT_TRUE(xinetd) << error;
  for (ClientKind kind : {ClientKind::TimeTcp, ClientKind::TimeUdp}) EXPECT_EQ(Ask(kind, xinetd->TimePort()), "") << int(kind);
  // xinetd writes "06 DEC 2026 17:33:22 UTC": day first, so the weekday/month/day pattern fails.
  for (ClientKind kind : {ClientKind::DaytimeTcp, ClientKind::DaytimeUdp})
    EXPECT_EQ(Ask(kind, xinetd->DaytimePort()), "Ongeldige datum/tijd.. set to 0");
}

}  // namespace
}  // namespace horavex::testing
