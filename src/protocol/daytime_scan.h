// Reading a Daytime text the way scanf reads it with "%s %s %d %d:%d:%d %d", and its month names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace horavex {

inline constexpr std::size_t kDaytimeWordMax = 11;  // a word fits a 12-byte buffer with its zero

// Month index 0-11 of an English three-letter month name, compared without regard to case;
// nothing for any other word ("January" and "Ja" included).
std::optional<int> MonthFromName(std::string_view word);

// The fields that the Daytime pattern converts from a text, with scanf rules.
struct DaytimeFields {
  int items = 0;  // how many of the seven converted
  std::string weekday, month;
  int day = 0, hour = 0, minute = 0, second = 0, year = 0;
};
// Converts `text` up to its first zero byte, if any. A word longer than 11 characters, or a number outside
// the 32-bit range, ends the conversion there.
DaytimeFields ScanDaytime(std::span<const std::uint8_t> text);

// The bytes of a Daytime text in an answer area: those before the first zero, all when there is none.
std::span<const std::uint8_t> DaytimeText(std::span<const std::uint8_t> area);

}  // namespace horavex
