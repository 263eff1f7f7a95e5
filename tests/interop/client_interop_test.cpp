// Our clients against real servers on loopback: chrony for SNTP, xinetd's internal Time and
// Daytime services. The clock the clients set is simulated over the real time.
#include <gtest/gtest.h>

#include <ctime>

#include <asio/io_context.hpp>

#include "client/time_client.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "support/fake_dialup_port.h"
#include "platform/simulated_clock.h"
#include "support/chrony_peer.h"
#include "support/require_peer.h"
#include "support/temp_dir.h"
#include "support/xinetd_peer.h"

namespace horavex::testing {
namespace {

class RealPeers : public ::testing::Test {
 protected:
  RealPeers() {
    dialup_ = std::make_unique<DialupService>(std::make_unique<FakeDialupPort>(), io_.get_executor());
  }

  struct Result {
    std::string messages;
    std::optional<SystemTime> set;
  };

  Result Ask(ClientKind kind, std::uint16_t port) {
    SimulatedClock clock;  // the real time, read only
    struct View : NullClientView {
      void SetMessages(const std::string& t) override { messages = t; }
      std::string messages;
    } view;
    TimeClient client(kind, ClientServices{{io_.get_executor(), io_.get_executor()}, profile_, clock, *dialup_}, view);
    client.Settings().m_strServer = "127.0.0.1";
    client.Settings().m_nPort = port;
    client.Settings().m_nWarnLevel = 0;
    client.Settings().m_nMaxOffsetIndex = 1;  // +/- 5 seconds: a sane peer is well within
    client.DoSynchro();
    io_.restart();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (client.IsRequestActive() && std::chrono::steady_clock::now() < limit)
      io_.run_one_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(client.IsRequestActive());
    return {view.messages, clock.LastSet()};
  }

  static void ExpectNearNow(const SystemTime& t) {
    EXPECT_NEAR(static_cast<double>(UnixFromSystemTime(t)), static_cast<double>(std::time(nullptr)), 2.0);
  }

  TempDir dir_;
  Profile profile_{dir_.File("horavex.ini")};
  asio::io_context io_;
  std::unique_ptr<DialupService> dialup_;
};

TEST_F(RealPeers, SntpClientAgainstChrony) {
  if (!FindProgram("chronyd")) return PeerUnavailable("chronyd is missing (Debian package chrony)");
  std::string error;
  auto chrony = ChronyPeer::Start(error);
  ASSERT_TRUE(chrony) << error;
  const Result r = Ask(ClientKind::SntpUdp, chrony->Port());
  EXPECT_EQ(r.messages, "Oke\r\nTijd is ingesteld...");
  ASSERT_TRUE(r.set);
  ExpectNearNow(*r.set);
}

TEST_F(RealPeers, TimeAndDaytimeClientsAgainstXinetd) {
  if (!FindProgram("xinetd")) return PeerUnavailable("xinetd is missing (Debian package xinetd)");
  std::string error;
  auto xinetd = XinetdPeer::Start(error);
  ASSERT_TRUE(xinetd) << error;
  for (ClientKind kind : {ClientKind::TimeTcp, ClientKind::TimeUdp}) {
    const Result r = Ask(kind, xinetd->TimePort());
    EXPECT_EQ(r.messages, "Oke\r\nTijd is ingesteld...");
    ASSERT_TRUE(r.set);
    ExpectNearNow(*r.set);
  }
  // xinetd writes "06 DEC 2026 17:33:22 UTC": day first, so the weekday/month/day pattern fails.
  for (ClientKind kind : {ClientKind::DaytimeTcp, ClientKind::DaytimeUdp}) {
    const Result r = Ask(kind, xinetd->DaytimePort());
    EXPECT_EQ(r.messages, "Melding: 1 ERROR: 0 \r\nOngeldige datum/tijd..");
    EXPECT_FALSE(r.set);
  }
}

}  // namespace
}  // namespace horavex::testing
