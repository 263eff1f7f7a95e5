// Wire formats of the Time, Daytime and SNTP protocols, and the time arithmetic between them,
// the calendar seconds of the C runtime and the broken-down clock time the system clock takes.
//
// Calendar seconds are signed 32-bit seconds since 1970-01-01 00:00:00 UTC. Every answer a client
// accepts passes through them, so valid answers lie between 1970 and 2038-01-19 03:14:07 UTC.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace horavex {

// Seconds from 1900-01-01 to 1970-01-01 (RFC 868), and its complement modulo 2^32.
inline constexpr std::uint32_t kSeconds1900To1970 = 2208988800u;
inline constexpr std::uint32_t kSeconds1900To1970Complement = 2085978496u;

inline constexpr std::size_t kAnswerSize = 62;   // the client's answer area
inline constexpr std::size_t kNtpPacketSize = 48;
inline constexpr std::uint8_t kSntpRequestByte0 = 0x1B;  // LI 0, version 3, mode 3 (client)
inline constexpr std::size_t kDaytimeWordMax = 11;       // a word fits a 12-byte buffer with its zero

using AnswerArea = std::array<std::uint8_t, kAnswerSize>;
using NtpPacket = std::array<std::uint8_t, kNtpPacketSize>;

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

// Month index 0-11 of an English three-letter month name, compared without regard to case;
// 99 for any other word ("January" and "Ja" included).
int MonthFromName(std::string_view word);

// Decodes a received answer of `kind` (0-4, a ClientKind) into calendar seconds and returns their
// UTC breakdown, or nothing when the answer is invalid. `milliseconds` is only written for SNTP;
// the caller presets it to -1. A kind above 4 gives nothing and writes nothing.
std::optional<std::tm> DecodeAnswer(std::uint32_t kind, std::span<const std::uint8_t, kAnswerSize> answer,
                                    std::int32_t& calendarSeconds, std::int32_t& milliseconds);

// UTC breakdown of calendar seconds; nothing for a negative value.
std::optional<std::tm> UtcBreakdown(std::int32_t calendarSeconds);

// The fields that the Daytime pattern "%s %s %d %d:%d:%d %d" converts from a text, with scanf rules.
struct DaytimeFields {
  int items = 0;  // how many of the seven converted
  std::string weekday, month;
  int day = 0, hour = 0, minute = 0, second = 0, year = 0;
};
// Converts `text` up to its first zero byte, if any. A word longer than 11 characters, or a number outside
// the 32-bit range, ends the conversion there.
DaytimeFields ScanDaytime(std::span<const std::uint8_t> text);

// The bytes of a Daytime text in the answer area: those before the first zero, at most all 62.
std::span<const std::uint8_t> DaytimeText(std::span<const std::uint8_t, kAnswerSize> answer);

// The answer a server sends now: 4 bytes for Time, 25 bytes of Daytime text (plus an unsent zero).
struct ServerAnswer {
  std::array<std::uint8_t, 26> bytes{};
  std::size_t length = 0;
  std::span<const std::uint8_t> Span() const { return {bytes.data(), length}; }
};
// The answer of `kind` (0-3, a ServerKind) for Unix time `now`; length 0 for a kind above 3.
ServerAnswer MakeServerAnswer(std::uint32_t kind, std::int64_t now);

// The Daytime line for a local breakdown: "Www Mmm DD hh:mm:ss YYYY\n", the day zero-padded.
std::string DaytimeLine(const std::tm& local);

// The SNTP request: byte 0 = 0x1B, bytes 40-47 the OLE automation date as a little-endian double.
NtpPacket MakeSntpRequest(double oleDate);
// OLE automation date of a local breakdown: days since 1899-12-30, time of day as the fraction.
double OleDate(const std::tm& local);

// The datagram the Time and Daytime clients send over UDP.
inline constexpr std::array<std::uint8_t, 2> kUdpRequest{'Q', 'Z'};

// The clock value to set: `now` with date and time from the UTC breakdown and, unless
// `milliseconds` is -1, its milliseconds. The day of week stays as read.
SystemTime ApplyDecodedTime(SystemTime now, const std::tm& utc, std::int32_t milliseconds);

// Conversions between Unix time and SystemTime (proleptic Gregorian, UTC).
SystemTime SystemTimeFromUnix(std::int64_t seconds, int milliseconds);
std::int64_t UnixFromSystemTime(const SystemTime& t);

// Local time texts as the windows show them, in English month names whatever the locale:
// "23 Jan 20:23:03" and "20:23:03".
std::string FormatDayMonthTime(std::int64_t unixSeconds);
std::string FormatClockTime(std::int64_t unixSeconds);

// Local breakdown of Unix time (thread-safe).
std::tm LocalBreakdown(std::int64_t unixSeconds);

}  // namespace horavex
