#include "protocol/time_formats.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "protocol/kinds.h"

namespace horavex {
namespace {

// Runs a test body in a fixed local zone, restoring the previous one.
class ZoneGuard {
 public:
  explicit ZoneGuard(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old, hadOld_ = true;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ZoneGuard() {
    if (hadOld_) setenv("TZ", old_.c_str(), 1); else unsetenv("TZ");
    tzset();
  }

 private:
  std::string old_;
  bool hadOld_ = false;
};

AnswerArea Area(std::initializer_list<std::uint8_t> bytes) {
  AnswerArea a{};
  std::copy(bytes.begin(), bytes.end(), a.begin());
  return a;
}

AnswerArea TextArea(std::string_view text) {
  AnswerArea a{};
  std::memcpy(a.data(), text.data(), std::min(text.size(), a.size()));
  return a;
}

struct Decoded {
  bool valid;
  std::int32_t seconds;
  std::int32_t millis;
  std::tm utc;
};

Decoded Decode(ClientKind kind, const AnswerArea& a) {
  std::int32_t seconds = 12345, millis = -1;
  auto tm = DecodeAnswer(static_cast<std::uint32_t>(kind), a, seconds, millis);
  return {tm.has_value(), seconds, millis, tm.value_or(std::tm{})};
}

std::string Iso(const std::tm& t) {
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

TEST(TimeValue, DecodesAcrossTheValidRangeAndTheEraWrap) {
  struct Case {
    AnswerArea bytes;
    bool valid;
    const char* utc;
  } cases[] = {
      {Area({0xBC, 0x17, 0xC2, 0x00}), true, "2000-01-01 00:00:00"},
      {Area({0x83, 0xAA, 0x7E, 0x80}), true, "1970-01-01 00:00:00"},  // exactly the 1900/1970 offset
      {Area({0x83, 0xAA, 0x7E, 0x7F}), false, ""},                    // one second before 1970
      {Area({0x7C, 0x55, 0x81, 0x7F}), false, ""},                    // inside the invalid range
      {Area({0xFF, 0xFF, 0xFF, 0xFF}), true, "2036-02-07 06:28:15"},  // last second of the era
      {Area({0x00, 0x00, 0x00, 0x00}), true, "2036-02-07 06:28:16"},  // the era wraps
      {Area({0x01, 0x00, 0x00, 0x00}), true, "2036-08-19 10:48:32"},
      {Area({0x03, 0xAA, 0x7E, 0x7F}), true, "2038-01-19 03:14:07"},  // 61505151: the 32-bit limit
      {Area({0x03, 0xAA, 0x7E, 0x80}), false, ""},
  };
  for (const auto& c : cases) {
    for (ClientKind kind : {ClientKind::TimeTcp, ClientKind::TimeUdp}) {
      const Decoded d = Decode(kind, c.bytes);
      ASSERT_EQ(d.valid, c.valid) << c.utc;
      EXPECT_EQ(d.millis, -1) << "Time answers carry no fraction";
      if (c.valid) {
        EXPECT_EQ(Iso(d.utc), c.utc);
      }
    }
  }
  EXPECT_EQ(Decode(ClientKind::TimeTcp, Area({0xBC, 0x17, 0xC2, 0x00})).seconds, 946684800);
}

TEST(TimeValue, ServerWritesTheSameBytesAndWrapsIn2036) {
  const auto at2000 = MakeServerAnswer(0, 946684800);
  ASSERT_EQ(at2000.length, 4u);
  EXPECT_EQ(at2000.bytes[0], 0xBC);
  EXPECT_EQ(at2000.bytes[1], 0x17);
  EXPECT_EQ(at2000.bytes[2], 0xC2);
  EXPECT_EQ(at2000.bytes[3], 0x00);

  const auto at2003 = MakeServerAnswer(1, 1041379200);  // 2003-01-01 00:00:00 UTC
  EXPECT_EQ(std::vector<std::uint8_t>(at2003.bytes.begin(), at2003.bytes.begin() + 4),
            (std::vector<std::uint8_t>{0xC1, 0xBC, 0xAE, 0x00}));

  const auto wrap = MakeServerAnswer(0, 2085978496);  // 2036-02-07 06:28:16 UTC
  EXPECT_EQ(wrap.bytes[0] | wrap.bytes[1] | wrap.bytes[2] | wrap.bytes[3], 0);

  EXPECT_EQ(MakeServerAnswer(4, 0).length, 0u);
  EXPECT_EQ(MakeServerAnswer(0xFFFFFFFFu, 0).length, 0u);
}

TEST(Sntp, LeapIndicatorThreeIsRefusedWhateverTheTimestamps) {
  AnswerArea a = Area({0xDC});
  a[40] = 0xBC, a[41] = 0x17, a[42] = 0xC2;
  std::int32_t seconds = 7, millis = -1;
  EXPECT_FALSE(DecodeAnswer(4, a, seconds, millis).has_value());
  EXPECT_EQ(seconds, 7) << "nothing is written for an unsynchronised server";
  EXPECT_EQ(millis, -1);

  for (std::uint8_t b0 : {0x1C, 0x24, 0x1B, 0x9C, 0x00 | 0x07}) {
    a[0] = b0;
    EXPECT_TRUE(Decode(ClientKind::SntpUdp, a).valid) << int{b0};
  }
}

TEST(Sntp, FractionGivesTruncatedMilliseconds) {
  struct {
    std::uint8_t hi, lo;
    int millis;
  } cases[] = {{0x80, 0x00, 500}, {0xFF, 0xFF, 999}, {0x00, 0x00, 0}, {0x00, 0x42, 1}, {0x40, 0x00, 250}};
  for (const auto& c : cases) {
    AnswerArea a = Area({0x1C});
    a[40] = 0xBC, a[41] = 0x17, a[42] = 0xC2, a[43] = 0x00;
    a[44] = c.hi, a[45] = c.lo, a[46] = 0xFF, a[47] = 0xFF;
    const Decoded d = Decode(ClientKind::SntpUdp, a);
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(d.millis, c.millis);
    EXPECT_EQ(d.seconds, 946684800);
  }
}

TEST(Sntp, ShortAnswerDecodesAsTheEraWrap) {
  // Bytes beyond what was received are zero: a 4-byte answer has zero transmit seconds.
  const Decoded d = Decode(ClientKind::SntpUdp, Area({0x1C, 0x02, 0x03, 0x04}));
  ASSERT_TRUE(d.valid);
  EXPECT_EQ(Iso(d.utc), "2036-02-07 06:28:16");
  EXPECT_EQ(d.millis, 0);
}

TEST(Sntp, RequestCarriesTheOleDateLittleEndian) {
  ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
  std::tm noon{};
  noon.tm_year = 100, noon.tm_mon = 0, noon.tm_mday = 1, noon.tm_hour = 12;
  EXPECT_DOUBLE_EQ(OleDate(noon), 36526.5);

  const NtpPacket p = MakeSntpRequest(36526.5);
  EXPECT_EQ(p[0], 0x1B);
  for (std::size_t i = 1; i < 40; ++i) EXPECT_EQ(p[i], 0) << i;
  double back;
  std::memcpy(&back, &p[40], 8);  // this machine is little-endian, as the wire layout
  EXPECT_EQ(back, 36526.5);
  EXPECT_EQ(p[47], 0x40);  // sign and exponent byte comes last
  EXPECT_EQ(kUdpRequest.size(), 2u);
  EXPECT_EQ(kUdpRequest[0], 'Q');
  EXPECT_EQ(kUdpRequest[1], 'Z');
}

TEST(Daytime, ParsesTheTextAsLocalTime) {
  ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
  struct Case {
    const char* text;
    bool valid;
    const char* utc;
  } cases[] = {
      {"Thu Jan 23 20:23:03 2003\n", true, "2003-01-23 19:23:03"},
      {"Thu Jan 23 20:23:03 2003", true, "2003-01-23 19:23:03"},
      {"thu JAN 23 20:23:03 2003\r\n", true, "2003-01-23 19:23:03"},
      {"  Thu\tJan\n23   20:23:03\t2003", true, "2003-01-23 19:23:03"},  // scanf skips any white space
      {"Thu Feb 30 10:00:00 2003", true, "2003-03-02 09:00:00"},            // normalised like mktime
      {"Sun Jul 06 12:00:60 2003", true, "2003-07-06 10:01:00"},            // summer time applies
      {"Thu Janu 23 20:23:03 2003", false, ""},                             // no such month
      {"23 JAN 03 20:23:03 UTC", false, ""},                                // only six items
      {"06 DEC 2026 17:33:22 UTC", false, ""},                              // xinetd's form
      {"Thu Jan 23 20 :23:03 2003", false, ""},                             // ':' must follow at once
      {"Wed Dec 31 23:59:59 1969", false, ""},                              // before 1970
      {"Thu Jan 01 00:59:59 1970", false, ""},                              // 1969 in UTC
      {"Thu Jan 01 01:00:00 1970", true, "1970-01-01 00:00:00"},
      {"Tue Jan 19 04:14:07 2038", true, "2038-01-19 03:14:07"},
      {"Tue Jan 19 04:14:08 2038", false, ""},                              // past the 32-bit limit
      {"Thu Jan 23 20:23:03 99999999999", false, ""},                       // number out of range
      {"Wednesdayyyyy Jan 23 20:23:03 2003", false, ""},                    // word over 11 characters
      {"Thu Jan 23 20:23:03 -2147483648", false, ""},
      {"", false, ""},
  };
  for (const auto& c : cases) {
    for (ClientKind kind : {ClientKind::DaytimeTcp, ClientKind::DaytimeUdp}) {
      const Decoded d = Decode(kind, TextArea(c.text));
      ASSERT_EQ(d.valid, c.valid) << c.text;
      EXPECT_EQ(d.millis, -1);
      if (c.valid) {
        EXPECT_EQ(Iso(d.utc), c.utc) << c.text;
      }
    }
  }
}

TEST(Daytime, TextEndsAtTheFirstZeroOrTheEndOfTheArea) {
  ZoneGuard zone("UTC0");
  AnswerArea a = TextArea("Thu Jan 23 20:23:03 2003");
  a[25] = '9';  // after the zero: not part of the text
  EXPECT_EQ(Iso(Decode(ClientKind::DaytimeTcp, a).utc), "2003-01-23 20:23:03");

  // 62 bytes and no zero: the parse stops at the end of the area, not beyond it.
  std::string full = "Thu Jan 23 20:23:03 2003";
  full.resize(kAnswerSize, ' ');
  full.back() = '7';
  const Decoded d = Decode(ClientKind::DaytimeUdp, TextArea(full));
  EXPECT_TRUE(d.valid);
  EXPECT_EQ(DaytimeText(TextArea(full)).size(), kAnswerSize);

  const std::uint8_t embedded[] = {'T', 'h', 'u', 0, 'J', 'a', 'n', ' ', '2', '3'};
  EXPECT_EQ(ScanDaytime(embedded).items, 1) << "a zero ends the text";
  EXPECT_EQ(ScanDaytime(embedded).weekday, "Thu");

  std::string digits(kAnswerSize, '1');
  EXPECT_FALSE(Decode(ClientKind::DaytimeTcp, TextArea(digits)).valid);
}

TEST(Daytime, ServerLinePadsTheDayAndUsesLocalTime) {
  ZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
  const auto a = MakeServerAnswer(2, 1041375600);  // 2003-01-01 00:00:00 CET
  ASSERT_EQ(a.length, 25u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.bytes.data()), a.length), "Wed Jan 01 00:00:00 2003\n");
  EXPECT_EQ(a.bytes[25], 0) << "the terminating zero is in the buffer but not sent";

  // What the server writes, a client reads back to the same second.
  const auto b = MakeServerAnswer(3, 1234567890);
  AnswerArea area{};
  std::copy(b.bytes.begin(), b.bytes.begin() + b.length, area.begin());
  EXPECT_EQ(Decode(ClientKind::DaytimeUdp, area).seconds, 1234567890);
}

TEST(MonthNames, WholeWordWithoutRegardToCase) {
  EXPECT_EQ(MonthFromName("Jan"), 0);
  EXPECT_EQ(MonthFromName("dEC"), 11);
  EXPECT_EQ(MonthFromName("may"), 4);
  EXPECT_EQ(MonthFromName("January"), 99);
  EXPECT_EQ(MonthFromName("Ja"), 99);
  EXPECT_EQ(MonthFromName(""), 99);
}

TEST(DecodeAnswer, UnknownKindWritesNothing) {
  std::int32_t seconds = 5, millis = 6;
  EXPECT_FALSE(DecodeAnswer(5, Area({0xBC, 0x17, 0xC2, 0x00}), seconds, millis).has_value());
  EXPECT_EQ(seconds, 5);
  EXPECT_EQ(millis, 6);
}

TEST(ClockConversion, KeepsMillisecondsAndDayOfWeekUnlessGiven) {
  SystemTime now = SystemTimeFromUnix(1700000000, 321);
  const std::tm utc = *UtcBreakdown(946684800);
  const SystemTime kept = ApplyDecodedTime(now, utc, -1);
  EXPECT_EQ(kept.wYear, 2000);
  EXPECT_EQ(kept.wMonth, 1);
  EXPECT_EQ(kept.wDay, 1);
  EXPECT_EQ(kept.wHour, 0);
  EXPECT_EQ(kept.wMilliseconds, 321);
  EXPECT_EQ(kept.wDayOfWeek, now.wDayOfWeek);
  EXPECT_EQ(ApplyDecodedTime(now, utc, 500).wMilliseconds, 500);
  EXPECT_EQ(ApplyDecodedTime(now, utc, 0).wMilliseconds, 0);
}

TEST(ClockConversion, UnixRoundTripsThroughSystemTime) {
  for (std::int64_t t : {0LL, 946684800LL, 951782400LL /* 2000-02-29 */, 2147483647LL, 4102444800LL, -86400LL}) {
    const SystemTime s = SystemTimeFromUnix(t, 7);
    EXPECT_EQ(UnixFromSystemTime(s), t);
    std::tm ref{};
    const std::time_t tt = t;
    gmtime_r(&tt, &ref);
    EXPECT_EQ(s.wYear, ref.tm_year + 1900);
    EXPECT_EQ(s.wMonth, ref.tm_mon + 1);
    EXPECT_EQ(s.wDay, ref.tm_mday);
    EXPECT_EQ(s.wDayOfWeek, ref.tm_wday);
    EXPECT_EQ(s.wSecond, ref.tm_sec);
  }
}

TEST(LocalTexts, EnglishMonthsWhateverTheLocale) {
  ZoneGuard zone("UTC0");
  EXPECT_EQ(FormatDayMonthTime(1043353383), "23 Jan 20:23:03");
  EXPECT_EQ(FormatClockTime(1043353383), "20:23:03");
  EXPECT_EQ(FormatDayMonthTime(946684800), "01 Jan 00:00:00");
}

}  // namespace
}  // namespace horavex
