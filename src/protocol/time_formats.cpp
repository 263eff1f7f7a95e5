#include "protocol/time_formats.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "protocol/byte_reader.h"
#include "protocol/kinds.h"

namespace horavex {
namespace {

constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 7> kWeekdays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// Days from 1970-01-01 to y-m-d (H. Hinnant's days_from_civil).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// Time value (seconds since 1900, as sent) to calendar seconds: adding the complement modulo
// 2^32 subtracts the 70 years and wraps the 2036 era into 2036-2038.
std::int32_t CalendarFromTimeValue(std::uint32_t v) {
  return static_cast<std::int32_t>(v + kSeconds1900To1970Complement);
}

bool IsScanSpace(std::uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A scanf-style cursor over the Daytime text.
class Scanner {
 public:
  explicit Scanner(std::span<const std::uint8_t> text) : text_(text) {}
  void SkipSpace() {
    while (pos_ < text_.size() && IsScanSpace(text_[pos_])) ++pos_;
  }
  bool Word(std::string& out) {
    SkipSpace();
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !IsScanSpace(text_[pos_])) ++pos_;
    const std::size_t n = pos_ - start;
    if (n == 0 || n > kDaytimeWordMax) return false;
    out.assign(reinterpret_cast<const char*>(text_.data() + start), n);
    return true;
  }
  bool Number(int& out) {
    SkipSpace();
    bool negative = false;
    if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) negative = text_[pos_++] == '-';
    std::int64_t value = 0;
    std::size_t digits = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      value = value * 10 + (text_[pos_++] - '0');
      if (value > std::int64_t{INT_MAX} + 1) return false;
      ++digits;
    }
    if (negative) value = -value;
    if (digits == 0 || value > INT_MAX || value < INT_MIN) return false;
    out = static_cast<int>(value);
    return true;
  }
  bool Literal(char c) {
    if (pos_ < text_.size() && text_[pos_] == static_cast<std::uint8_t>(c)) {
      ++pos_;
      return true;
    }
    return false;
  }

 private:
  std::span<const std::uint8_t> text_;
  std::size_t pos_ = 0;
};

std::optional<std::tm> DecodeDaytime(std::span<const std::uint8_t, kAnswerSize> answer,
                                     std::int32_t& calendarSeconds) {
  const DaytimeFields f = ScanDaytime(DaytimeText(answer));
  if (f.items < 7) return std::nullopt;
  const int month = MonthFromName(f.month);
  if (month == 99 || f.year < INT_MIN + 1900) return std::nullopt;
  std::tm local{};
  local.tm_year = f.year - 1900;
  local.tm_mon = month;
  local.tm_mday = f.day;
  local.tm_hour = f.hour;
  local.tm_min = f.minute;
  local.tm_sec = f.second;
  local.tm_isdst = -1;  // the text names no zone: the runtime decides about daylight saving
  const std::time_t t = std::mktime(&local);
  if (t < 0 || t > INT32_MAX) {
    calendarSeconds = -1;
    return std::nullopt;
  }
  calendarSeconds = static_cast<std::int32_t>(t);
  return UtcBreakdown(calendarSeconds);
}

}  // namespace

int MonthFromName(std::string_view word) {
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    if (word.size() == 3 && strncasecmp(word.data(), kMonths[i], 3) == 0) return static_cast<int>(i);
  }
  return 99;
}

std::optional<std::tm> UtcBreakdown(std::int32_t calendarSeconds) {
  if (calendarSeconds < 0) return std::nullopt;
  const std::time_t t = calendarSeconds;
  std::tm out{};
  if (gmtime_r(&t, &out) == nullptr) return std::nullopt;
  return out;
}

DaytimeFields ScanDaytime(std::span<const std::uint8_t> text) {
  DaytimeFields f;
  if (const auto* zero = static_cast<const std::uint8_t*>(std::memchr(text.data(), 0, text.size())))
    text = text.first(static_cast<std::size_t>(zero - text.data()));
  Scanner s(text);
  if (!s.Word(f.weekday)) return f;
  f.items = 1;
  if (!s.Word(f.month)) return f;
  f.items = 2;
  if (!s.Number(f.day)) return f;
  f.items = 3;
  if (!s.Number(f.hour)) return f;
  f.items = 4;
  if (!s.Literal(':') || !s.Number(f.minute)) return f;
  f.items = 5;
  if (!s.Literal(':') || !s.Number(f.second)) return f;
  f.items = 6;
  if (!s.Number(f.year)) return f;
  f.items = 7;
  return f;
}

std::span<const std::uint8_t> DaytimeText(std::span<const std::uint8_t, kAnswerSize> answer) {
  const auto* end = static_cast<const std::uint8_t*>(std::memchr(answer.data(), 0, answer.size()));
  return answer.first(end ? static_cast<std::size_t>(end - answer.data()) : answer.size());
}

std::optional<std::tm> DecodeAnswer(std::uint32_t kind, std::span<const std::uint8_t, kAnswerSize> answer,
                                    std::int32_t& calendarSeconds, std::int32_t& milliseconds) {
  const ByteReader r(answer);
  switch (static_cast<ClientKind>(kind)) {
    case ClientKind::TimeTcp:
    case ClientKind::TimeUdp:
      calendarSeconds = CalendarFromTimeValue(r.U32(0));
      return UtcBreakdown(calendarSeconds);
    case ClientKind::DaytimeTcp:
    case ClientKind::DaytimeUdp:
      return DecodeDaytime(answer, calendarSeconds);
    case ClientKind::SntpUdp:
      if ((r.U8(0) & 0xC0) == 0xC0) return std::nullopt;  // leap indicator 3: server not synchronised
      calendarSeconds = CalendarFromTimeValue(r.U32(40));
      milliseconds = static_cast<std::int32_t>(std::uint32_t{r.U16(44)} * 1000 / 65536);
      return UtcBreakdown(calendarSeconds);
  }
  return std::nullopt;
}

std::string DaytimeLine(const std::tm& local) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%s %s %02d %02d:%02d:%02d %04d\n",
                              kWeekdays[static_cast<unsigned>(local.tm_wday) % 7],
                              kMonths[static_cast<unsigned>(local.tm_mon) % 12], local.tm_mday, local.tm_hour,
                              local.tm_min, local.tm_sec, local.tm_year + 1900);
  return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

ServerAnswer MakeServerAnswer(std::uint32_t kind, std::int64_t now) {
  ServerAnswer a;
  switch (static_cast<ServerKind>(kind)) {
    case ServerKind::TimeTcp:
    case ServerKind::TimeUdp: {
      const auto v = static_cast<std::uint32_t>(static_cast<std::uint64_t>(now) + kSeconds1900To1970);
      a.bytes = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                 static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
      a.length = 4;
      break;
    }
    case ServerKind::DaytimeTcp:
    case ServerKind::DaytimeUdp: {
      const std::string line = DaytimeLine(LocalBreakdown(now));
      a.length = std::min(line.size(), a.bytes.size() - 1);
      std::memcpy(a.bytes.data(), line.data(), a.length);
      break;
    }
  }
  return a;
}

NtpPacket MakeSntpRequest(double oleDate) {
  NtpPacket p{};
  p[0] = kSntpRequestByte0;
  auto bits = std::bit_cast<std::uint64_t>(oleDate);
  for (std::size_t i = 40; i < 48; ++i, bits >>= 8) p[i] = static_cast<std::uint8_t>(bits);
  return p;
}

double OleDate(const std::tm& local) {
  const std::int64_t days = DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                          static_cast<unsigned>(local.tm_mday)) -
                            DaysFromCivil(1899, 12, 30);
  const int secondOfDay = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
  return static_cast<double>(days) + secondOfDay / 86400.0;
}

SystemTime ApplyDecodedTime(SystemTime now, const std::tm& utc, std::int32_t milliseconds) {
  now.wYear = static_cast<std::uint16_t>(utc.tm_year + 1900);
  now.wMonth = static_cast<std::uint16_t>(utc.tm_mon + 1);
  now.wDay = static_cast<std::uint16_t>(utc.tm_mday);
  now.wHour = static_cast<std::uint16_t>(utc.tm_hour);
  now.wMinute = static_cast<std::uint16_t>(utc.tm_min);
  now.wSecond = static_cast<std::uint16_t>(utc.tm_sec);
  if (milliseconds != -1) now.wMilliseconds = static_cast<std::uint16_t>(milliseconds);
  return now;
}

SystemTime SystemTimeFromUnix(std::int64_t seconds, int milliseconds) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // civil_from_days (H. Hinnant)
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  SystemTime t;
  t.wYear = static_cast<std::uint16_t>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
  t.wMonth = static_cast<std::uint16_t>(m);
  t.wDay = static_cast<std::uint16_t>(d);
  t.wDayOfWeek = static_cast<std::uint16_t>((days % 7 + 11) % 7);  // 1970-01-01 was a Thursday
  t.wHour = static_cast<std::uint16_t>(rest / 3600);
  t.wMinute = static_cast<std::uint16_t>(rest / 60 % 60);
  t.wSecond = static_cast<std::uint16_t>(rest % 60);
  t.wMilliseconds = static_cast<std::uint16_t>(milliseconds);
  return t;
}

std::int64_t UnixFromSystemTime(const SystemTime& t) {
  return DaysFromCivil(t.wYear, t.wMonth, t.wDay) * 86400 + t.wHour * 3600 + t.wMinute * 60 + t.wSecond;
}

std::tm LocalBreakdown(std::int64_t unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm out{};
  localtime_r(&t, &out);
  return out;
}

std::string FormatDayMonthTime(std::int64_t unixSeconds) {
  const std::tm l = LocalBreakdown(unixSeconds);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d %s %02d:%02d:%02d", l.tm_mday, kMonths[static_cast<unsigned>(l.tm_mon) % 12],
                l.tm_hour, l.tm_min, l.tm_sec);
  return buf;
}

std::string FormatClockTime(std::int64_t unixSeconds) {
  const std::tm l = LocalBreakdown(unixSeconds);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", l.tm_hour, l.tm_min, l.tm_sec);
  return buf;
}

}  // namespace horavex
