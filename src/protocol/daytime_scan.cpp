#include "protocol/daytime_scan.h"

#include <climits>
#include <cstring>
#include <strings.h>

#include "protocol/calendar.h"

namespace horavex {
namespace {

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

}  // namespace

std::optional<int> MonthFromName(std::string_view word) {
  for (std::size_t i = 0; i < kMonthNames.size(); ++i) {
    if (word.size() == 3 && strncasecmp(word.data(), kMonthNames[i], 3) == 0) return static_cast<int>(i);
  }
  return std::nullopt;
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

std::span<const std::uint8_t> DaytimeText(std::span<const std::uint8_t> answer) {
  const auto* end = static_cast<const std::uint8_t*>(std::memchr(answer.data(), 0, answer.size()));
  return answer.first(end ? static_cast<std::size_t>(end - answer.data()) : answer.size());
}

}  // namespace horavex
