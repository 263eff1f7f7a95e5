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
  explicit Scanner(std::span<const std::uint8_t> text) : m_text(text) {}
  void SkipSpace() {
    while (m_pos < m_text.size() && IsScanSpace(m_text[m_pos])) ++m_pos;
  }
  bool Word(std::string& out) {
    SkipSpace();
    const std::size_t start = m_pos;
    while (m_pos < m_text.size() && !IsScanSpace(m_text[m_pos])) ++m_pos;
    const std::size_t n = m_pos - start;
    if (n == 0 || n > kDaytimeWordMax) return false;
    out.assign(reinterpret_cast<const char*>(m_text.data() + start), n);
    return true;
  }
  bool Number(int& out) {
    SkipSpace();
    bool negative = false;
    if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-')) negative = m_text[m_pos++] == '-';
    std::int64_t value = 0;
    std::size_t digits = 0;
    while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9') {
      value = value * 10 + (m_text[m_pos++] - '0');
      if (value > std::int64_t{INT_MAX} + 1) return false;
      ++digits;
    }
    if (negative) value = -value;
    if (digits == 0 || value > INT_MAX || value < INT_MIN) return false;
    out = static_cast<int>(value);
    return true;
  }
  bool Literal(char c) {
    if (m_pos < m_text.size() && m_text[m_pos] == static_cast<std::uint8_t>(c)) {
      ++m_pos;
      return true;
    }
    return false;
  }

 private:
  std::span<const std::uint8_t> m_text;
  std::size_t m_pos = 0;
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
