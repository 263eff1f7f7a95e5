// Our clients against real servers on loopback: chrony for SNTP, xinetd's internal Time and
// Daytime services. The clock the clients set is simulated over the real time.
#include <gtest/gtest.h>

#include <ctime>

#include <asio/io_context.hpp>

#include "client/time_client.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "platform/simulated_clock.h"
#include "support/chrony_peer.h"
#include "support/fake_dialup_port.h"
#include "support/require_peer.h"
#include "support/xinetd_peer.h"

namespace horavex::testing {
namespace {

// Asks the peer at 127.0.0.1:`port` once and expects `messages`; a time it sets must be now.
void ExpectAnswer(ClientKind kind, std::uint16_t port, const std::string& messages) {
  TempDir dir;
  Profile profile(dir.File("horavex.ini"));
  asio::io_context io;
  DialupService dialup(std::make_unique<FakeDialupPort>(), io.get_executor());
  SimulatedClock clock;  // the real time, read only
  struct View : NullClientView {
    void SetMessages(const std::string& t) override { messages = t; }
    std::string messages;
  } view;
  TimeClient client(kind, ClientServices{{io.get_executor(), io.get_executor()}, profile, clock, dialup}, view);
  client.Settings().m_strServer = "127.0.0.1";
  client.Settings().m_nPort = port;
  client.Settings().m_nWarnLevel = 0;
  client.Settings().m_nMaxOffsetIndex = 1;  // +/- 5 seconds: a sane peer is well within
  client.SetFinishedObserver([&] { io.stop(); });
  client.DoSynchro();
  io.run_for(std::chrono::seconds(10));
  EXPECT_EQ(view.messages, messages) << static_cast<int>(kind);
  const auto set = clock.LastSet().value_or(SystemTimeFromUnix(0, 0));
  EXPECT_NEAR(double(UnixFromSystemTime(set)), messages.starts_with("Oke") ? double(std::time(nullptr)) : 0.0, 2.0);
}

TEST(RealPeers, SntpClientAgainstChrony) {
  HORAVEX_REQUIRE_PEER("chronyd");
  std::string error;
  auto chrony = ChronyPeer::Start(error);
  ASSERT_TRUE(chrony) << error;
  ExpectAnswer(ClientKind::SntpUdp, chrony->Port(), "Oke\r\nTijd is ingesteld...");
}

TEST(RealPeers, TimeAndDaytimeClientsAgainstXinetd) {
  HORAVEX_REQUIRE_PEER("xinetd");
  std::string error;
  auto xinetd = XinetdPeer::Start(error);
  ASSERT_TRUE(xinetd) << error;
  for (ClientKind kind : {ClientKind::TimeTcp, ClientKind::TimeUdp})
    ExpectAnswer(kind, xinetd->TimePort(), "Oke\r\nTijd is ingesteld...");
  // xinetd writes "06 DEC 2026 17:33:22 UTC": day first, so the weekday/month/day pattern fails.
  for (ClientKind kind : {ClientKind::DaytimeTcp, ClientKind::DaytimeUdp})
    ExpectAnswer(kind, xinetd->DaytimePort(), "Melding: 1 ERROR: 0 \r\nOngeldige datum/tijd..");
}

}  // namespace
}  // namespace horavex::testing
