#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <string>

#include "support/loopback_probe.h"
#include "protocol/time_formats.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const Bytes kQz{'Q', 'Z'};

TEST(ScriptedServer, UdpAnswersAndRecordsEachDatagram) {
  ScriptedServer server(Script::Answer(Transport::Udp, TimeAnswer(946684800)));
  const std::vector<Bytes> answers = ExchangeUdp(server.Port(), kQz, 300ms);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0], (Bytes{0xBC, 0x17, 0xC2, 0x00}));
  EXPECT_EQ(server.RequestCount(), 1u);
  EXPECT_EQ(server.Requests().at(0), kQz);
}

TEST(ScriptedServer, UdpRepliesFollowTheScriptPerRequestAndMaySendSeveral) {
  Script script = Script::Datagrams({Bytes{1}, Script::Oversized(Transport::Udp).replies[0].sends[0]});
  script.replies.insert(script.replies.begin(), Reply{});  // the first request gets nothing
  ScriptedServer server(script);
  EXPECT_TRUE(ExchangeUdp(server.Port(), kQz, 200ms).empty());
  const std::vector<Bytes> second = ExchangeUdp(server.Port(), Bytes{7}, 300ms);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0], Bytes{1});
  EXPECT_EQ(second[1].size(), 100u);  // one datagram, whole
  EXPECT_EQ(ExchangeUdp(server.Port(), kQz, 300ms).size(), 2u);  // the last reply repeats
  EXPECT_EQ(server.Requests(), (std::vector<Bytes>{kQz, Bytes{7}, kQz}));
}

TEST(ScriptedServer, SlowReplyWaitsItsDelay) {
  ScriptedServer server(Script::Slow(Transport::Udp, 300ms, TimeAnswer(0)));
  const auto start = Clock::now();
  EXPECT_EQ(ExchangeUdp(server.Port(), kQz, 1s).size(), 1u);
  EXPECT_GE(Clock::now() - start, 300ms);
}

TEST(ScriptedServer, TcpAnswersThenCloses) {
  ScriptedServer server(Script::Answer(Transport::Tcp, DaytimeAnswer("Thu Jan 23 20:23:03 2003\n")));
  const TcpExchange got = ExchangeTcp(server.Port(), {}, 1s);
  EXPECT_TRUE(got.connected);
  EXPECT_TRUE(got.closedByPeer);
  EXPECT_EQ(std::string(got.received.begin(), got.received.end()), "Thu Jan 23 20:23:03 2003\n");
  EXPECT_EQ(server.RequestCount(), 1u);
}

TEST(ScriptedServer, SilentTcpHoldsTheConnectionAndRecordsWhatArrives) {
  ScriptedServer server(Script::Silent(Transport::Tcp));
  const TcpExchange got = ExchangeTcp(server.Port(), Bytes{'a', 'b', 'c'}, 300ms);
  EXPECT_TRUE(got.connected);
  EXPECT_FALSE(got.closedByPeer);
  EXPECT_TRUE(got.received.empty());
  ASSERT_TRUE(server.WaitForRequests(1, 1s));
  EXPECT_EQ(server.Requests().at(0), (Bytes{'a', 'b', 'c'}));
}

TEST(ScriptedServer, StopsPromptlyWithRepliesPendingAndConnectionsOpen) {
  auto tcp = std::make_unique<ScriptedServer>(Script::Slow(Transport::Tcp, 30s, TimeAnswer(0)));
  auto udp = std::make_unique<ScriptedServer>(Script::Slow(Transport::Udp, 30s, TimeAnswer(0)));
  ExchangeTcp(tcp->Port(), {}, 100ms);
  ExchangeUdp(udp->Port(), kQz, 100ms);
  ASSERT_TRUE(tcp->WaitForRequests(1, 1s));
  ASSERT_TRUE(udp->WaitForRequests(1, 1s));
  const auto start = Clock::now();
  tcp.reset();
  udp.reset();
  EXPECT_LT(Clock::now() - start, 1s);
}

// The canned answers must be what their names say, or client tests would pass for wrong reasons.
TEST(ServerScript, CannedAnswersDecodeAsIntended) {
  std::int32_t seconds = 0, ms = -1;
  AnswerArea area{};
  const Bytes sntp = SntpAnswer(946684800, 999);
  std::copy(sntp.begin(), sntp.end(), area.begin());
  ASSERT_TRUE(DecodeAnswer(4, area, seconds, ms));
  EXPECT_EQ(seconds, 946684800);
  EXPECT_EQ(ms, 999);

  const Bytes alarm = Script::SntpLeapAlarm(946684800).replies[0].sends[0];
  std::copy(alarm.begin(), alarm.end(), area.begin());
  EXPECT_FALSE(DecodeAnswer(4, area, seconds, ms));

  const Bytes text = Script::DaytimeUnterminated(Transport::Tcp, "Thu Jan 23 20:23:03 2003").replies[0].sends[0];
  ASSERT_EQ(text.size(), kAnswerSize);
  EXPECT_EQ(std::string(text.end() - 24, text.end()), "Thu Jan 23 20:23:03 2003");
  EXPECT_EQ(std::count(text.begin(), text.end(), 0), 0);
}

}  // namespace
}  // namespace horavex::testing
