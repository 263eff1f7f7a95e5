// Arbitrary text through ScanDaytime, against the C library's sscanf with the Daytime pattern.
// They must agree wherever sscanf is a fair reference: every word at most 11 characters (sscanf
// would cut a longer one and go on; ScanDaytime refuses it) and every number within int range
// (sscanf's overflow is undefined). Elsewhere ScanDaytime must only stay within its buffers.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "protocol/daytime_scan.h"

namespace horavex::fuzz {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool ReferenceApplies(std::string_view text) {
  std::size_t word = 0, digits = 0;
  for (char c : text) {
    word = IsSpace(c) ? 0 : word + 1;
    digits = IsDigit(c) ? digits + 1 : 0;
    if (word > kDaytimeWordMax || digits > 9) return false;
  }
  return true;
}

void CompareWithSscanf(const std::string& text, const DaytimeFields& got) {
  char weekday[12] = {}, month[12] = {};
  int day = 0, hour = 0, minute = 0, second = 0, year = 0;
  int items = std::sscanf(text.c_str(), "%11s %11s %d %d:%d:%d %d", weekday, month, &day, &hour, &minute, &second,
                          &year);
  if (items == EOF) items = 0;
  Require(got.items == items, "as many items as sscanf");
  Require(items < 1 || got.weekday == weekday, "weekday as sscanf");
  Require(items < 2 || got.month == month, "month as sscanf");
  Require(items < 3 || got.day == day, "day as sscanf");
  Require(items < 4 || got.hour == hour, "hour as sscanf");
  Require(items < 5 || got.minute == minute, "minute as sscanf");
  Require(items < 6 || got.second == second, "second as sscanf");
  Require(items < 7 || got.year == year, "year as sscanf");
}

}  // namespace
}  // namespace horavex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace horavex;
  // The text as its callers hand it over: up to the first zero byte (DaytimeText), in a heap
  // block of exactly that size so that a read past it is caught.
  std::size_t n = 0;
  while (n < size && data[n] != 0) ++n;
  const auto copy = std::make_unique<std::uint8_t[]>(n);
  std::copy_n(data, n, copy.get());
  const DaytimeFields got = ScanDaytime(std::span<const std::uint8_t>(copy.get(), n));
  fuzz::Require(got.items >= 0 && got.items <= 7, "items 0-7");
  fuzz::Require(got.weekday.size() <= kDaytimeWordMax && got.month.size() <= kDaytimeWordMax,
                "words fit their 12-byte buffers");
  const std::string text(reinterpret_cast<const char*>(data), n);
  if (fuzz::ReferenceApplies(text)) fuzz::CompareWithSscanf(text, got);
  return 0;
}
