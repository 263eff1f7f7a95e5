#include "protocol/answer_dump.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace horavex {
namespace {

AnswerArea Area(std::initializer_list<std::uint8_t> bytes) {
  AnswerArea a{};
  std::copy(bytes.begin(), bytes.end(), a.begin());
  return a;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
    lines.push_back(text.substr(start, pos - start));
  lines.push_back(text.substr(start));
  return lines;
}

TEST(Dump, TimeAnswerShowsTheSubtraction) {
  EXPECT_EQ(BuildDump(0, Area({0xC1, 0xBC, 0xAE, 0x00})),
            "Type client: Time via TCP\r\nDUMP:\r\nC1 BC AE 00 \r\n"
            "Berekening: 3250368000 - 2208988800=1041379200\r\nis aantal sec vanaf 1 jan 1970 0:00 uur");
  // Below the offset the difference wraps modulo 2^32, as unsigned arithmetic does.
  EXPECT_NE(BuildDump(1, Area({0x00, 0x00, 0x00, 0x01})).find("Time via UDP"), std::string::npos);
  EXPECT_NE(BuildDump(1, Area({0x00, 0x00, 0x00, 0x01})).find("Berekening: 1 - 2208988800=2085978497\r\n"),
            std::string::npos);
}

TEST(Dump, DaytimeShowsTheTextInBrackets) {
  AnswerArea a{};
  const char* text = "Thu Jan 23 20:23:03 2003\n";
  std::memcpy(a.data(), text, 25);
  const std::string dump = BuildDump(2, a);
  const auto lines = Lines(dump);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "Type client: DayTime via TCP");
  EXPECT_EQ(lines[2].size(), 25u * 3);
  EXPECT_EQ(lines[2].substr(lines[2].size() - 3), "0A ");
  EXPECT_EQ(lines[3], "String ontvangen:");
  EXPECT_EQ(lines[4], "[Thu Jan 23 20:23:03 2003\n]");
  EXPECT_EQ(Lines(BuildDump(3, a))[0], "Type client: DayTime via UDP");

  // A text filling the whole area has no zero: the dump stops at the 62nd byte.
  AnswerArea full;
  full.fill('x');
  EXPECT_EQ(Lines(BuildDump(3, full))[2].size(), 62u * 3);
}

TEST(Dump, SntpNamesEveryHeaderField) {
  AnswerArea a{};
  const std::uint8_t head[] = {0x1C, 0x02, 0x06, 0xEC, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x01,
                               'G',  'P',  'S',  0x00};
  std::memcpy(a.data(), head, sizeof head);
  for (int i = 16; i < 48; ++i) a[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  a[16] = 0xEE, a[20] = 0x80, a[21] = 0, a[22] = 0, a[23] = 0;  // ref fraction = half a second
  a[28] = 0, a[29] = 0, a[30] = 0, a[31] = 1;                      // originate fraction 1
  const auto lines = Lines(BuildDump(4, a));
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[0], "Type client: SNTP via UDP");
  EXPECT_EQ(lines[2].size(), 144u);
  EXPECT_EQ(lines[3], "LI Leap Indicator (XX------): 00, Geen waarschuwing");
  EXPECT_EQ(lines[4], "Versie (--XXX---): 3");
  EXPECT_EQ(lines[5], "Mode (-----XXX)(4): server");
  EXPECT_EQ(lines[6], "Stratum : 2 (2-15=secondary reference (via NTP or SNTP))");
  EXPECT_EQ(lines[7], "Poll Interval: 6");
  EXPECT_EQ(lines[8], "Preciesie: 236");
  EXPECT_EQ(lines[9], "Root Delay: 32768");
  EXPECT_EQ(lines[10], "Root Dispersion: 1");
  EXPECT_EQ(lines[11], "Reference Identifier: 1196446464");
  EXPECT_EQ(lines[12], "Reference Timestamp: 3994096147.2147483648");
  EXPECT_EQ(lines[13].substr(0, 22), "Originate Timestamp : ");
  EXPECT_EQ(lines[13].substr(lines[13].size() - 11), ".0000000001");
  EXPECT_EQ(lines[14].substr(0, 20), "Receive Timestamp : ");
  EXPECT_EQ(lines[15].substr(0, 21), "Transmit Timestamp : ");
  EXPECT_EQ(lines[16], "");
}

TEST(Dump, SntpTablesCoverEveryValue) {
  struct {
    std::uint8_t b0, stratum;
    const char* leap;
    const char* mode;
    const char* stratumText;
  } cases[] = {
      {0xDC, 200, "11, ALARM geen synchronisatie", "Mode (-----XXX)(4): server", "Stratum : 200 (16-255 reserved)"},
      {0x9C, 0, "10, Laatste minuut 59 seconden", "Mode (-----XXX)(4): server",
       "Stratum : 0 (0=unspecified or unavailable)"},
      {0x5D, 1, "01, Laatste minuut 61 seconden", "Mode (-----XXX)(5): broadcast",
       "Stratum : 1 (1=primary reference (e.g., radio clock))"},
      {0x26, 15, "00, Geen waarschuwing", "Mode (-----XXX)(6): reserved for NTP control message",
       "Stratum : 15 (2-15=secondary reference (via NTP or SNTP))"},
      {0x1F, 16, "00, Geen waarschuwing", "Mode (-----XXX)(7): reserved for private use",
       "Stratum : 16 (16-255 reserved)"},
  };
  for (const auto& c : cases) {
    const auto lines = Lines(BuildDump(4, Area({c.b0, c.stratum, 0xFA})));
    EXPECT_EQ(lines[3], std::string("LI Leap Indicator (XX------): ") + c.leap);
    EXPECT_EQ(lines[5], c.mode);
    EXPECT_EQ(lines[6], c.stratumText);
    EXPECT_EQ(lines[7], "Poll Interval: 250");
  }
}

TEST(Dump, UnknownKindAndEmptyArea) {
  EXPECT_EQ(BuildDump(9, Area({1, 2, 3, 4})), "Type client: ONBEKEND\r\nDUMP:\r\n\r\n");
  EXPECT_EQ(InfoText(0, AnswerArea{}), "Geen informatie aanwezig");
  EXPECT_EQ(InfoText(0, Area({0, 0, 0, 9, 0})), "Geen informatie aanwezig") << "byte 3 is not looked at";
  EXPECT_NE(InfoText(0, Area({0, 0, 0, 0, 9})), "Geen informatie aanwezig");
}

}  // namespace
}  // namespace horavex
