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
  log.Add(RequestTransport::Tcp, {192, 168, 100, 200}, 50000);  // 184: whole
  EXPECT_EQ(log.Text(), line + line + line + line + line + line.substr(0, 14));
}

struct GuardCase {
  const char* name;
  std::uint16_t sourcePort;
  std::string datagram;
  bool cut, refused;
};
void PrintTo(const GuardCase& c, std::ostream* os) { *os << c.name; }

class ReflectionGuard : public ::testing::TestWithParam<GuardCase> {};

TEST_P(ReflectionGuard, AnswersRequestsAndRefusesAnswersAndAnsweringServices) {
  const GuardCase& c = GetParam();
  const std::span bytes(reinterpret_cast<const std::uint8_t*>(c.datagram.data()), c.datagram.size());
  EXPECT_EQ(MustNotAnswer(c.sourcePort, bytes, c.cut), c.refused);
}

const std::string kChargenLine = std::string(72, '!') + "\r\n";
INSTANTIATE_TEST_SUITE_P(
    Cases, ReflectionGuard,
    ::testing::Values(GuardCase{"EmptyAsRfc868", 40000, "", false, false},
                      GuardCase{"OurClients", 65535, "QZ", false, false},
                      GuardCase{"NewlineFromNc", 1024, "\n", false, false},
                      GuardCase{"SntpRequest", 40000, std::string(1, '\x1b') + std::string(47, '\0'), false, false},
                      GuardCase{"ShortTextLine", 40000, "what time is it?\r\n", false, false},
                      GuardCase{"BinaryCut", 40000, std::string(80, '\1'), true, false},
                      GuardCase{"SourcePort0", 0, "QZ", false, true}, GuardCase{"TimeService", 37, "", false, true},
                      GuardCase{"TimeValue", 40000, std::string("\xC1\xBC\xAE\x00", 4), false, true},
                      GuardCase{"OurDaytimeLine", 40000, "Wed Jan 01 01:00:00 2003\n", false, true},
                      GuardCase{"XinetdDaytimeLine", 40000, "06 DEC 2026 17:33:22 UTC\r\n", false, true},
                      GuardCase{"ChargenLine", 40000, kChargenLine, false, true},
                      GuardCase{"ChargenCut", 40000, kChargenLine.substr(0, 70), true, true}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace horavex
