#include <gtest/gtest.h>

#include <cstring>

#include "protocol/answer_dump.h"
#include "protocol/sntp_offset.h"
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

const ClientKind kTime = ClientKind::TimeUdp, kDay = ClientKind::DaytimeTcp, kSntp = ClientKind::SntpUdp;

struct DecodeRow {
  const char* name;
  ClientKind kind;
  std::string bytes;
  const char* utc;  // as Decoded gives it
};
void PrintTo(const DecodeRow& row, std::ostream* os) { *os << row.name; }
class Decode : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(Decode, GivesTheUtcTimeOrNothing) { EXPECT_EQ(Decoded(GetParam().kind, GetParam().bytes), GetParam().utc); }

INSTANTIATE_TEST_SUITE_P(
    Rows, Decode,
    ::testing::Values(
        DecodeRow{"Time2000", kTime, "\xBC\x17\xC2\x00"s, "2000-01-01 00:00:00.-1"},
        DecodeRow{"TimeBefore1970", kTime, "\x83\xAA\x7E\x7F", ""}, DecodeRow{"TimeJustBefore1970", kTime, "\x7C\x55\x81\x7F", ""},
        DecodeRow{"TimeEndOfTheEra", kTime, "\xFF\xFF\xFF\xFF", "2036-02-07 06:28:15.-1"},
        DecodeRow{"TimeWrapsIntoTheNextEra", kTime, std::string(4, '\0'), "2036-02-07 06:28:16.-1"},
        DecodeRow{"TimeLastSecondOf32Bits", kTime, "\x03\xAA\x7E\x7F", "2038-01-19 03:14:07.-1"},
        DecodeRow{"TimeBeyond32Bits", kTime, "\x03\xAA\x7E\x80", ""},
        DecodeRow{"SntpHalfASecond", kSntp, Sntp('\x1C', "\xBC\x17\xC2\x00\x80\x00\xFF\xFF"s), "2000-01-01 00:00:00.500"},
        DecodeRow{"SntpAnyMode", kSntp, Sntp('\x9F', "\xBC\x17\xC2\x00\x00\x42"s), "2000-01-01 00:00:00.1"},
        DecodeRow{"SntpLeapAlarm", kSntp, Sntp('\xDC', "\xBC\x17\xC2\x00"), ""},
        DecodeRow{"DaytimeLocalToUtc", kDay, "Thu Jan 23 20:23:03 2003\n", "2003-01-23 19:23:03.-1"},
        DecodeRow{"DaytimeAnyCase", ClientKind::DaytimeUdp, "thu JAN 23 20:23:03 2003\r\n", "2003-01-23 19:23:03.-1"},
        DecodeRow{"DaytimeDayBeyondTheMonth", kDay, "Thu Feb 30 10:00:00 2003", "2003-03-02 09:00:00.-1"},
        DecodeRow{"DaytimeSecond60", kDay, "Sun Jul 06 12:00:60 2003", "2003-07-06 10:01:00.-1"},
        DecodeRow{"DaytimeLongMonth", kDay, "Thu Janu 23 20:23:03 2003", ""},
        DecodeRow{"DaytimeOtherOrder", kDay, "23 JAN 03 20:23:03 UTC", ""},
        DecodeRow{"DaytimeNoWeekday", kDay, "06 DEC 2026 17:33:22 UTC", ""},
        DecodeRow{"DaytimeBefore1970", kDay, "Thu Jan 01 00:59:59 1970", ""},
        DecodeRow{"Daytime1970", kDay, "Thu Jan 01 01:00:00 1970", "1970-01-01 00:00:00.-1"},
        DecodeRow{"DaytimeLastSecondOf32Bits", kDay, "Tue Jan 19 04:14:07 2038", "2038-01-19 03:14:07.-1"},
        DecodeRow{"DaytimeBeyond32Bits", kDay, "Tue Jan 19 04:14:08 2038", ""},
        DecodeRow{"DaytimeHugeYear", kDay, "Thu Jan 23 20:23:03 99999999999", ""},
        DecodeRow{"DaytimeLongWeekday", kDay, "Wednesdayyyyy Jan 23 20:23:03 2003", ""},
        DecodeRow{"DaytimeNulEndsTheText", kDay, "Thu Jan 23 20:23:03 2003\0" "9"s, "2003-01-23 19:23:03.-1"},
        DecodeRow{"DaytimeFillsTheArea", kDay, std::string(38, ' ') + "Thu Jan 23 20:23:03 2003", "2003-01-23 19:23:03.-1"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ServerAnswer, TimeBytesAndTheDaytimeLineReadBackToTheSameSecond) {
  const auto text = [](ServerKind kind, std::int64_t t) {
    const ServerAnswer a = MakeServerAnswer(kind, t);
    return std::string(a.Span().begin(), a.Span().end());
  };
  // The exact answers of each kind are the server tests'; here the era's wrap and the round trip.
  EXPECT_EQ(text(ServerKind::TimeUdp, 2085978496), std::string(4, '\0'));  // 2036-02-07 06:28:16 UTC
  EXPECT_EQ(DecodeAnswer(kDay, Area(text(ServerKind::DaytimeUdp, 1234567890)))->calendarSeconds, 1234567890);
}

// theta and delta from fixed T1-T4: the server ahead, behind, and asked before the 2036 era's end
// and answering after it; a round trip below zero is what the client refuses.
TEST(SntpOffset, FromTheFourTimestamps) {
  const auto t = [](std::uint32_t seconds, std::uint32_t quarters) { return NtpTime{seconds} << 32 | quarters << 30; };
  const std::tuple<const char*, SntpTimes, double, double> rows[] = {
      {"Ahead", {t(1000, 0), t(1010, 2), t(1010, 3), t(1000, 2)}, 10.375, 0.25},
      {"Behind", {t(1000, 0), t(990, 1), t(990, 1), t(1000, 2)}, -10, 0.5},
      {"AcrossTheEra", {t(0xFFFFFFFF, 0), t(9, 0), t(9, 0), t(0, 2)}, 9.25, 1.5},
      {"RoundTripBelowZero", {t(1000, 0), t(1000, 0), t(1001, 0), t(1000, 2)}, 0.25, -0.5}};
  for (const auto& [name, times, offset, delay] : rows) {
    EXPECT_EQ(times.Offset(), std::chrono::duration<double>(offset)) << name;
    EXPECT_EQ(times.Delay(), std::chrono::duration<double>(delay)) << name;
  }
  EXPECT_TRUE(SntpTimesText(std::get<1>(rows[0])).ends_with("(delta) : 0,250000 s\r\nAfwijking klok (theta) : +10,375000 s\r\n"));
  // 2036-02-07 06:28:16.25 UTC is a quarter second into the second era; 1970 lies in the first.
  EXPECT_EQ(NtpFromUnix(std::chrono::seconds(2085978496) + std::chrono::milliseconds(250)), t(0, 1));
  EXPECT_EQ(NtpFromUnix({}), t(kSeconds1900To1970, 0));
}

// Each header field read from its own bytes (the window test checks the dump's start and mode).
TEST(AnswerDump, SntpNamesEveryHeaderField) {
  const std::string dump = BuildDump(kSntp, Area("\x5D\x01\x06\xEC\0\0\x80\0\0\0\0\x01GPS\0\xEE\0\0\0\x80"s));
  for (const char* field : {"(XX------): 01,", "(--XXX---): 3\r", "Stratum : 1 ", "Poll Interval: 6\r", "Preciesie: 236\r",
                            "Delay: 32768\r", "Dispersion: 1\r", "Identifier: 1196446464\r", "Timestamp: 3992977408.2147483648\r"})
    EXPECT_NE(dump.find(field), std::string::npos) << field;
}

// A Daytime text as the information window and horavex-query show it: text as it came, and every
// byte that is no text as \xNN, so that the whole dump stays valid UTF-8.
struct DaytimeDumpRow {
  const char* name;
  std::string bytes;
  std::string shown;  // the dump from its hexadecimal line on
};
void PrintTo(const DaytimeDumpRow& row, std::ostream* os) { *os << row.name; }

class DaytimeDump : public ::testing::TestWithParam<DaytimeDumpRow> {};

TEST_P(DaytimeDump, ShowsEveryByteAsValidText) {
  const std::string dump = BuildDump(kDay, Area(GetParam().bytes));
  EXPECT_EQ(dump.substr(dump.find("DUMP:\r\n") + 7), GetParam().shown);
}

const std::string kEscapedHeading = "\r\nString ontvangen (bytes die geen tekst zijn als \\xNN):\r\n[";

INSTANTIATE_TEST_SUITE_P(
    Rows, DaytimeDump,
    ::testing::Values(
        DaytimeDumpRow{"Ascii", "Thu 23\r\n", "54 68 75 20 32 33 0D 0A \r\nString ontvangen:\r\n[Thu 23\r\n]"},
        DaytimeDumpRow{"Utf8", "M\xC3\xA4rz", "4D C3 A4 72 7A \r\nString ontvangen:\r\n[M\xC3\xA4rz]"},
        DaytimeDumpRow{"Latin1", "M\xE4rz", "4D E4 72 7A " + kEscapedHeading + "M\\xE4rz]"},
        DaytimeDumpRow{"NotText", "\xFF\xFE", "FF FE " + kEscapedHeading + "\\xFF\\xFE]"},
        DaytimeDumpRow{"NulEndsTheText", "Do\0x"s, "44 6F \r\nString ontvangen:\r\n[Do]"},
        DaytimeDumpRow{"ControlCharacters", "\x1B[2J\xC2\x9B", "1B 5B 32 4A C2 9B " + kEscapedHeading + "\\x1B[2J\\xC2\\x9B]"},
        DaytimeDumpRow{"CutSequenceAndSurrogate", "\xED\xA0\x80\xE2\x82", "ED A0 80 E2 82 " + kEscapedHeading +
                                                                          "\\xED\\xA0\\x80\\xE2\\x82]"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace horavex
