#include "protocol/wire_formats.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>

#include "protocol/byte_reader.h"
#include "protocol/calendar.h"
#include "protocol/daytime_scan.h"

namespace horavex {
namespace {

constexpr std::array<const char*, 7> kWeekdays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// Time value (seconds since 1900, as sent) to calendar seconds: adding the complement modulo
// 2^32 subtracts the 70 years and wraps the 2036 era into 2036-2038.
std::int32_t CalendarFromTimeValue(std::uint32_t v) {
  return static_cast<std::int32_t>(v + kSeconds1900To1970Complement);
}

std::optional<DecodedTime> FromCalendar(std::int32_t calendarSeconds, std::int32_t milliseconds = -1) {
  const std::optional<std::tm> utc = UtcBreakdown(calendarSeconds);
  if (!utc) return std::nullopt;
  return DecodedTime{*utc, calendarSeconds, milliseconds};
}

std::optional<DecodedTime> DecodeDaytime(std::span<const std::uint8_t, kAnswerSize> answer) {
  const DaytimeFields f = ScanDaytime(DaytimeText(answer));
  if (f.items < 7) return std::nullopt;
  const std::optional<int> month = MonthFromName(f.month);
  if (!month || f.year < INT_MIN + 1900) return std::nullopt;
  std::tm local{};
  local.tm_year = f.year - 1900;
  local.tm_mon = *month;
  local.tm_mday = f.day;
  local.tm_hour = f.hour;
  local.tm_min = f.minute;
  local.tm_sec = f.second;
  local.tm_isdst = -1;  // the text names no zone: the runtime decides about daylight saving
  const std::time_t t = std::mktime(&local);
  if (t < 0 || t > INT32_MAX) return std::nullopt;
  return FromCalendar(static_cast<std::int32_t>(t));
}

}  // namespace

std::optional<DecodedTime> DecodeAnswer(ClientKind kind, std::span<const std::uint8_t, kAnswerSize> answer) {
  const ByteReader r(answer);
  switch (kind) {
    case ClientKind::TimeTcp:
    case ClientKind::TimeUdp:
      return FromCalendar(CalendarFromTimeValue(r.U32(0)));
    case ClientKind::DaytimeTcp:
    case ClientKind::DaytimeUdp:
      return DecodeDaytime(answer);
    case ClientKind::SntpUdp:
      if ((r.U8(0) & 0xC0) == 0xC0) return std::nullopt;  // leap indicator 3: server not synchronised
      return FromCalendar(CalendarFromTimeValue(r.U32(40)),
                          static_cast<std::int32_t>(std::uint32_t{r.U16(44)} * 1000 / 65536));
  }
  return std::nullopt;
}

int SntpRefusal(std::span<const std::uint8_t> received, std::span<const std::uint8_t> request) {
  if (received.size() < kNtpPacketSize) return 1;
  const ByteReader r(received);
  if (r.U32(40) == 0 && r.U32(44) == 0) return 2;
  if (r.U8(1) == 0) return 3;
  if (request.size() < kNtpPacketSize || !std::equal(request.begin() + 40, request.begin() + 48, received.begin() + 24))
    return 4;
  if (r.U32(32) == 0 && r.U32(36) == 0) return 5;
  return 0;
}

std::string DaytimeLine(const std::tm& local) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%s %s %02d %02d:%02d:%02d %04d\n",
                              kWeekdays[static_cast<unsigned>(local.tm_wday) % 7],
                              kMonthNames[static_cast<unsigned>(local.tm_mon) % 12], local.tm_mday, local.tm_hour,
                              local.tm_min, local.tm_sec, local.tm_year + 1900);
  return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

ServerAnswer MakeServerAnswer(ServerKind kind, std::int64_t now) {
  ServerAnswer a;
  if (kind == ServerKind::TimeTcp || kind == ServerKind::TimeUdp) {
    const auto v = static_cast<std::uint32_t>(static_cast<std::uint64_t>(now) + kSeconds1900To1970);
    a.bytes = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
               static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    a.length = 4;
  } else {
    const std::string line = DaytimeLine(LocalBreakdown(now));
    a.length = std::min(line.size(), a.bytes.size() - 1);
    std::memcpy(a.bytes.data(), line.data(), a.length);
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

}  // namespace horavex
