#include "protocol/answer_dump.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace horavex {
namespace {

AnswerArea Area(std::initializer_list<std::uint8_t> bytes) {
  AnswerArea a{};
  std::copy(bytes.begin(), bytes.end(), a.begin());
  return a;
}

struct DumpCase {
  const char* name;
  ClientKind kind;
  AnswerArea area;
  std::string expected;  // the whole dump, or the text after the byte line for SNTP
};
void PrintTo(const DumpCase& c, std::ostream* os) { *os << c.name; }
class Dump : public ::testing::TestWithParam<DumpCase> {};

TEST_P(Dump, ShowsTheKindsBytesAndFields) {
  const std::string dump = BuildDump(GetParam().kind, GetParam().area);
  if (GetParam().kind != ClientKind::SntpUdp) {
    EXPECT_EQ(dump, GetParam().expected);
  } else {
    ASSERT_TRUE(dump.starts_with("Type client: SNTP via UDP\r\nDUMP:\r\n")) << dump;
    EXPECT_EQ(dump.find("\r\n", 34), 34 + 48 * 3u) << "48 bytes in hex";
    EXPECT_EQ(dump.substr(34 + 48 * 3 + 2, GetParam().expected.size()), GetParam().expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Dump,
    ::testing::Values(
        DumpCase{"TimeTcp", ClientKind::TimeTcp, Area({0xC1, 0xBC, 0xAE, 0x00, 0x77}),
                 "Type client: Time via TCP\r\nDUMP:\r\nC1 BC AE 00 \r\nBerekening: 3250368000 - 2208988800=1041379200"
                 "\r\nis aantal sec vanaf 1 jan 1970 0:00 uur"},
        DumpCase{"DaytimeTcp", ClientKind::DaytimeTcp, Area({'T', 'h', 'u', ' ', 'J', 'a', 'n', '\n'}),
                 "Type client: DayTime via TCP\r\nDUMP:\r\n54 68 75 20 4A 61 6E 0A \r\nString ontvangen:\r\n[Thu Jan\n]"},
        DumpCase{"SntpFields", ClientKind::SntpUdp,
                 Area({0x1C, 0x02, 0x06, 0xEC, 0, 0, 0x80, 0, 0, 0, 0, 1, 'G', 'P', 'S', 0, 0xEE, 0, 0, 0, 0x80}),
                 "LI Leap Indicator (XX------): 00, Geen waarschuwing\r\nVersie (--XXX---): 3\r\n"
                 "Mode (-----XXX)(4): server\r\nStratum : 2 (2-15=secondary reference (via NTP or SNTP))\r\n"
                 "Poll Interval: 6\r\nPreciesie: 236\r\nRoot Delay: 32768\r\nRoot Dispersion: 1\r\n"
                 "Reference Identifier: 1196446464\r\nReference Timestamp: 3992977408.2147483648\r\n"
                 "Originate Timestamp : 0.0000000000\r\nReceive Timestamp : 0.0000000000\r\n"
                 "Transmit Timestamp : 0.0000000000\r\n"},
        DumpCase{"SntpAlarmStratum0", ClientKind::SntpUdp, Area({0xDC, 0, 0xFA}),
                 "LI Leap Indicator (XX------): 11, ALARM geen synchronisatie\r\nVersie (--XXX---): 3\r\n"
                 "Mode (-----XXX)(4): server\r\nStratum : 0 (0=unspecified or unavailable)\r\nPoll Interval: 250\r\n"},
        DumpCase{"SntpLeap61Primary", ClientKind::SntpUdp, Area({0x5D, 1}),
                 "LI Leap Indicator (XX------): 01, Laatste minuut 61 seconden\r\nVersie (--XXX---): 3\r\n"
                 "Mode (-----XXX)(5): broadcast\r\nStratum : 1 (1=primary reference (e.g., radio clock))\r\n"},
        DumpCase{"SntpLeap59Reserved", ClientKind::SntpUdp, Area({0x9F, 16}),
                 "LI Leap Indicator (XX------): 10, Laatste minuut 59 seconden\r\nVersie (--XXX---): 3\r\n"
                 "Mode (-----XXX)(7): reserved for private use\r\nStratum : 16 (16-255 reserved)\r\n"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(InfoText, NoAnswerWhenBytes0To2And4AreZero) {
  EXPECT_EQ(InfoText(ClientKind::TimeTcp, AnswerArea{}), "Geen informatie aanwezig");
  EXPECT_EQ(InfoText(ClientKind::TimeTcp, Area({0, 0, 0, 9, 0})), "Geen informatie aanwezig") << "byte 3 is not looked at";
  EXPECT_EQ(InfoText(ClientKind::TimeTcp, Area({0, 0, 0, 0, 9})), BuildDump(ClientKind::TimeTcp, Area({0, 0, 0, 0, 9})));
}

}  // namespace
}  // namespace horavex
