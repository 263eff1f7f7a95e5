// The request log's lines and cut, and which datagrams the reflection guard leaves unanswered.
#include <gtest/gtest.h>

#include "server/reflection_guard.h"
#include "server/request_log.h"

namespace horavex {
namespace {

TEST(RequestLog, NewestFirstWithFourHexDigitPortsAndCutTo150BeyondEvenInsideALine) {
  RequestLog log;
  log.Add(RequestTransport::Tcp, {10, 0, 0, 1}, 80);
  log.Add(RequestTransport::Udp, {127, 0, 0, 1}, 1025);
  EXPECT_EQ(log.Text(), "UDP: 127.0.0.1 poort:0401\r\nAdres:10.0.0.1 poort:0050\r\n");
  const std::string line = "Adres:192.168.100.200 poort:C350\r\n";  // the longest: 34 characters
  for (int i = 0; i < 5; ++i) log.Add(RequestTransport::Tcp, {192, 168, 100, 200}, 50000);  // 224: cut
  EXPECT_EQ(log.Text(), line + line + line + line + line.substr(0, 14));
}

// Source port, datagram, whether it was cut to the receive buffer, and whether it is refused.
TEST(ReflectionGuard, AnswersRequestsAndRefusesAnswersAndAnsweringServices) {
  const std::string chargen = std::string(72, '!') + "\r\n";
  const std::tuple<std::uint16_t, std::string, bool, bool> rows[] = {
      {40000, "", false, false}, {65535, "QZ", false, false}, {1024, "\n", false, false},  // RFC 868, ours, nc
      {40000, std::string(1, '\x1b') + std::string(47, '\0'), false, false}, {40000, "what time is it?\r\n", false, false},
      {40000, std::string(80, '\1'), true, false}, {0, "QZ", false, true}, {37, "", false, true},  // a time service
      {40000, std::string("\xC1\xBC\xAE\x00", 4), false, true}, {40000, "Wed Jan 01 01:00:00 2003\n", false, true},
      {40000, "06 DEC 2026 17:33:22 UTC\r\n", false, true}, {40000, chargen, false, true}, {40000, chargen.substr(0, 70), true, true}};
  for (const auto& [port, datagram, cut, refused] : rows) {
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(datagram.data()), datagram.size());
    EXPECT_EQ(MustNotAnswer(port, bytes, cut), refused) << port << " " << datagram;
  }
}

}  // namespace
}  // namespace horavex
