#include <gtest/gtest.h>

#include <cstring>

#include "protocol/answer_dump.h"
#include "protocol/wire_formats.h"

namespace horavex {
namespace {

using namespace std::string_literals;

// Daytime texts, OLE dates and window texts are local time: Central European, with summer time.
const bool kInCet = (setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1), tzset(), true);

AnswerArea Area(std::string_view bytes) {
  AnswerArea a{};
  std::memcpy(a.data(), bytes.data(), std::min(bytes.size(), a.size()));
  return a;
}

// "YYYY-MM-DD hh:mm:ss.mmm" of what `kind` decodes from `bytes`, ".-1" without milliseconds; "" for nothing.
std::string Decoded(ClientKind kind, std::string_view bytes) {
  const auto d = DecodeAnswer(kind, Area(bytes));
  if (!d) return "";
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%d", d->utc.tm_year + 1900, d->utc.tm_mon + 1,
                d->utc.tm_mday, d->utc.tm_hour, d->utc.tm_min, d->utc.tm_sec, d->milliseconds);
  EXPECT_EQ(d->utc.tm_sec, d->calendarSeconds % 60);
  return buf;
}

// An SNTP answer: `byte0`, then zeros up to the transmit timestamp.
std::string Sntp(char byte0, const std::string& transmit) { return byte0 + std::string(39, '\0') + transmit; }

struct DecodeCase {
  const char* name;
  ClientKind kind;
  std::string bytes;
  const char* utc;
};
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }
class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, GivesTheUtcTimeOrNothing) {
  EXPECT_EQ(Decoded(GetParam().kind, GetParam().bytes), GetParam().utc);
}

const ClientKind kTime = ClientKind::TimeUdp, kDay = ClientKind::DaytimeTcp, kSntp = ClientKind::SntpUdp;
INSTANTIATE_TEST_SUITE_P(
    Answers, Decode,
    ::testing::Values(
        DecodeCase{"Time2000", kTime, "\xBC\x17\xC2\x00"s, "2000-01-01 00:00:00.-1"},
        DecodeCase{"TimeBefore1970", kTime, "\x83\xAA\x7E\x7F", ""},
        DecodeCase{"TimeInvalidRange", kTime, "\x7C\x55\x81\x7F", ""},
        DecodeCase{"TimeEraEnd", kTime, "\xFF\xFF\xFF\xFF", "2036-02-07 06:28:15.-1"},
        DecodeCase{"TimeEraWrap", kTime, std::string(4, '\0'), "2036-02-07 06:28:16.-1"},
        DecodeCase{"Time2038Limit", kTime, "\x03\xAA\x7E\x7F", "2038-01-19 03:14:07.-1"},
        DecodeCase{"TimePast2038", kTime, "\x03\xAA\x7E\x80", ""},
        DecodeCase{"SntpHalfSecond", kSntp, Sntp('\x1C', "\xBC\x17\xC2\x00\x80\x00\xFF\xFF"s), "2000-01-01 00:00:00.500"},
        DecodeCase{"SntpAnyMode", kSntp, Sntp('\x9F', "\xBC\x17\xC2\x00\x00\x42"s), "2000-01-01 00:00:00.1"},
        DecodeCase{"SntpLeapAlarm", kSntp, Sntp('\xDC', "\xBC\x17\xC2\x00"), ""},
        DecodeCase{"DaytimeLine", kDay, "Thu Jan 23 20:23:03 2003\n", "2003-01-23 19:23:03.-1"},
        DecodeCase{"DaytimeUdpAnyCase", ClientKind::DaytimeUdp, "thu JAN 23 20:23:03 2003\r\n", "2003-01-23 19:23:03.-1"},
        DecodeCase{"DaytimeNormalised", kDay, "Thu Feb 30 10:00:00 2003", "2003-03-02 09:00:00.-1"},
        DecodeCase{"DaytimeSummer", kDay, "Sun Jul 06 12:00:60 2003", "2003-07-06 10:01:00.-1"},
        DecodeCase{"DaytimeNoSuchMonth", kDay, "Thu Janu 23 20:23:03 2003", ""},
        DecodeCase{"DaytimeSixItems", kDay, "23 JAN 03 20:23:03 UTC", ""},
        DecodeCase{"DaytimeXinetd", kDay, "06 DEC 2026 17:33:22 UTC", ""},
        DecodeCase{"Daytime1969", kDay, "Thu Jan 01 00:59:59 1970", ""},
        DecodeCase{"Daytime1970", kDay, "Thu Jan 01 01:00:00 1970", "1970-01-01 00:00:00.-1"},
        DecodeCase{"Daytime2038", kDay, "Tue Jan 19 04:14:07 2038", "2038-01-19 03:14:07.-1"},
        DecodeCase{"DaytimePast2038", kDay, "Tue Jan 19 04:14:08 2038", ""},
        DecodeCase{"DaytimeHugeYear", kDay, "Thu Jan 23 20:23:03 99999999999", ""},
        DecodeCase{"DaytimeLongWord", kDay, "Wednesdayyyyy Jan 23 20:23:03 2003", ""},
        DecodeCase{"DaytimeEndsAtZero", kDay, "Thu Jan 23 20:23:03 2003\0" "9"s, "2003-01-23 19:23:03.-1"},
        DecodeCase{"DaytimeFillsTheArea", kDay, std::string(38, ' ') + "Thu Jan 23 20:23:03 2003", "2003-01-23 19:23:03.-1"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ServerAnswer, TimeBytesAndTheDaytimeLineReadBackToTheSameSecond) {
  const auto text = [](ServerKind kind, std::int64_t t) {
    const ServerAnswer a = MakeServerAnswer(kind, t);
    return std::string(a.Span().begin(), a.Span().end());
  };
  // The exact answers of each kind are the server tests'; here the era's wrap and the round trip.
  EXPECT_EQ(text(ServerKind::TimeUdp, 2085978496), std::string(4, '\0'));  // 2036-02-07 06:28:16 UTC
  EXPECT_EQ(DecodeAnswer(kDay, Area(text(ServerKind::DaytimeUdp, 1234567890)))->calendarSeconds, 1234567890);
}

TEST(AnswerDump, SntpNamesEveryHeaderField) {
  const AnswerArea a = Area("\x5D\x01\x06\xEC\0\0\x80\0\0\0\0\x01GPS\0\xEE\0\0\0\x80"s);
  const std::string dump = BuildDump(kSntp, a);
  EXPECT_EQ(dump.substr(0, 58), "Type client: SNTP via UDP\r\nDUMP:\r\n5D 01 06 EC 00 00 80 00 ");
  EXPECT_EQ(dump.substr(dump.find("LI ")),
            "LI Leap Indicator (XX------): 01, Laatste minuut 61 seconden\r\nVersie (--XXX---): 3\r\n"
            "Mode (-----XXX)(5): broadcast\r\nStratum : 1 (1=primary reference (e.g., radio clock))\r\n"
            "Poll Interval: 6\r\nPreciesie: 236\r\nRoot Delay: 32768\r\nRoot Dispersion: 1\r\n"
            "Reference Identifier: 1196446464\r\nReference Timestamp: 3992977408.2147483648\r\n"
            "Originate Timestamp : 0.0000000000\r\nReceive Timestamp : 0.0000000000\r\n"
            "Transmit Timestamp : 0.0000000000\r\n");
  EXPECT_EQ(InfoText(kSntp, Area("\0\0\0\x09"s)), "Geen informatie aanwezig") << "byte 3 is not looked at";
}

}  // namespace
}  // namespace horavex
