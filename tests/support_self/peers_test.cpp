// The real peers the interop tests rely on: started on loopback ports, answering, and ended.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>

#include "support/chrony_peer.h"
#include "support/loopback_probe.h"
#include "protocol/time_formats.h"
#include "support/require_peer.h"
#include "support/xinetd_peer.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;

// Decodes `answer` as a client of `kind` would and returns its distance to this machine's clock.
std::int64_t SecondsOffNow(std::uint32_t kind, const Bytes& answer) {
  AnswerArea area{};
  std::copy_n(answer.begin(), std::min(answer.size(), area.size()), area.begin());
  std::int32_t seconds = -1, ms = -1;
  if (!DecodeAnswer(kind, area, seconds, ms)) return INT64_MAX;
  return std::abs(static_cast<std::int64_t>(seconds) - std::time(nullptr));
}

TEST(ChronyPeer, AnswersSntpWithoutSteeringTheClock) {
  HORAVEX_REQUIRE_PEER("chronyd");
  std::string error;
  auto chrony = ChronyPeer::Start(error);
  ASSERT_TRUE(chrony) << error;
  EXPECT_EQ(ChronyPeer::ClockSteeringChronyd(), "");  // ours runs with -x
  const NtpPacket request = MakeSntpRequest(OleDate(LocalBreakdown(std::time(nullptr))));
  const auto answer = WaitForUdpAnswer(chrony->Port(), request, 2s);
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->size(), kNtpPacketSize);
  EXPECT_EQ((*answer)[0] & 7, 4);  // server mode
  EXPECT_LE(SecondsOffNow(4, *answer), 5);
}

TEST(XinetdPeer, AnswersTimeOverBothTransportsAndDaytimeOverTcp) {
  HORAVEX_REQUIRE_PEER("xinetd");
  std::string error;
  auto xinetd = XinetdPeer::Start(error);
  ASSERT_TRUE(xinetd) << error;
  const TcpExchange tcpTime = ExchangeTcp(xinetd->TimePort(), {}, 2s);
  EXPECT_TRUE(tcpTime.closedByPeer);
  ASSERT_EQ(tcpTime.received.size(), 4u);
  EXPECT_LE(SecondsOffNow(0, tcpTime.received), 5);
  const auto udpTime = WaitForUdpAnswer(xinetd->TimePort(), kUdpRequest, 2s);
  ASSERT_TRUE(udpTime);
  EXPECT_EQ(udpTime->size(), 4u);
  const TcpExchange daytime = ExchangeTcp(xinetd->DaytimePort(), {}, 2s);
  const std::string text(daytime.received.begin(), daytime.received.end());
  EXPECT_EQ(text.size(), 26u) << text;
  EXPECT_TRUE(text.ends_with(" UTC\r\n")) << text;
}

TEST(XinetdPeer, UnlimitedRateTakesABurstOfConnections) {
  HORAVEX_REQUIRE_PEER("xinetd");
  std::string error;
  auto xinetd = XinetdPeer::Start(error, XinetdOptions{.unlimitedTcpRate = true});
  ASSERT_TRUE(xinetd) << error;
  // xinetd's default would turn the service off for a while after 50 connections in a second.
  int answered = 0;
  for (int i = 0; i < 120; ++i) answered += ExchangeTcp(xinetd->TimePort(), {}, 1s).received.size() == 4;
  EXPECT_EQ(answered, 120);
}

}  // namespace
}  // namespace horavex::testing
