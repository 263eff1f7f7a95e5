#include "server/request_log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "server/answer_cache.h"
#include "server/reflection_guard.h"

namespace horavex {
namespace {

TEST(RequestLog, LinesAreNewestFirstWithTheirPortInFourHexDigits) {
  RequestLog log;
  log.Add(RequestTransport::Tcp, {10, 0, 0, 1}, 80);
  log.Add(RequestTransport::Udp, {127, 0, 0, 1}, 1025);
  log.Add(RequestTransport::Tcp, {1, 2, 3, 4}, 50000);
  EXPECT_EQ(log.Text(),
            "Adres:1.2.3.4 poort:C350\r\n"
            "UDP: 127.0.0.1 poort:0401\r\n"
            "Adres:10.0.0.1 poort:0050\r\n");
}

TEST(RequestLog, IsCutTo150WhenItGrowsBeyond200EvenInsideALine) {
  RequestLog exact;
  // Lines of 25 characters ("UDP: 1.2.3.4 poort:0001\r\n"): eight of them are 200, and stay.
  for (int i = 0; i < 8; ++i) exact.Add(RequestTransport::Udp, {1, 2, 3, 4}, 1);
  EXPECT_EQ(exact.Text().size(), 200u);
  RequestLog log;
  const std::string line = "Adres:192.168.100.200 poort:FFFF\r\n";  // the longest: 34 characters
  for (int i = 0; i < 6; ++i) log.Add(RequestTransport::Tcp, {192, 168, 100, 200}, 0xFFFF);  // 204: cut
  EXPECT_EQ(log.Text(), line + line + line + line + line.substr(0, 14));
  log.Add(RequestTransport::Tcp, {192, 168, 100, 200}, 0xFFFF);  // 184: whole
  EXPECT_EQ(log.Text(), line + line + line + line + line + line.substr(0, 14));
}

TEST(ReflectionGuard, RefusesPortZeroAndServicesThatAnswerThemselves) {
  for (std::uint16_t port : {0, 7, 13, 19, 37, 123}) EXPECT_TRUE(MustNotAnswer(port)) << port;
  for (std::uint16_t port : {1, 53, 1024, 1025, 50000, 65535}) EXPECT_FALSE(MustNotAnswer(port)) << port;
}

TEST(AnswerCache, GivesTheAnswerOfTheSecondAskedFor) {
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  AnswerCache time(ServerKind::TimeUdp);
  // 2003-01-01 00:00:00 UTC is 1041379200.
  const auto a = time.At(1041379200);
  EXPECT_EQ(std::vector<std::uint8_t>(a.begin(), a.end()), (std::vector<std::uint8_t>{0xC1, 0xBC, 0xAE, 0x00}));
  const auto b = time.At(1041379201);
  EXPECT_EQ(b[3], 0x01);

  AnswerCache daytime(ServerKind::DaytimeTcp);
  const auto text = [&](std::int64_t t) {
    const auto s = daytime.At(t);
    return std::string(s.begin(), s.end());
  };
  // Local time (CET, one hour ahead), the day with its leading zero.
  EXPECT_EQ(text(1041375600), "Wed Jan 01 00:00:00 2003\n");
  EXPECT_EQ(text(1041375600 + 86400 * 31), "Sat Feb 01 00:00:00 2003\n");
}

}  // namespace
}  // namespace horavex
