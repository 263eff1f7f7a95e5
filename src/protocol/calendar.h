// Calendar arithmetic: calendar seconds (signed 32-bit seconds since 1970-01-01 00:00:00 UTC, as
// the C runtime counts them), their breakdowns, and the broken-down time the system clock takes.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>

namespace horavex {

// English three-letter month names, January first, whatever the locale.
inline constexpr std::array<const char*, 12> kMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The clock as the platform reads and sets it: UTC, month 1-12, day of week 0 = Sunday.
struct SystemTime {
  std::uint16_t wYear = 1970;
  std::uint16_t wMonth = 1;
  std::uint16_t wDayOfWeek = 4;
  std::uint16_t wDay = 1;
  std::uint16_t wHour = 0;
  std::uint16_t wMinute = 0;
  std::uint16_t wSecond = 0;
  std::uint16_t wMilliseconds = 0;
  friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// UTC breakdown of calendar seconds; nothing for a negative value.
std::optional<std::tm> UtcBreakdown(std::int32_t calendarSeconds);

// Local breakdown of Unix time (thread-safe).
std::tm LocalBreakdown(std::int64_t unixSeconds);

// Conversions between Unix time and SystemTime (proleptic Gregorian, UTC).
SystemTime SystemTimeFromUnix(std::int64_t seconds, int milliseconds);
std::int64_t UnixFromSystemTime(const SystemTime& t);

// OLE automation date of a local breakdown: days since 1899-12-30, time of day as the fraction.
double OleDate(const std::tm& local);

}  // namespace horavex
