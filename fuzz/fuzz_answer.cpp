// Arbitrary bytes as a client's 62-byte answer area, decoded and dumped as every kind:
// whatever a server sends, the result must keep the promises the clients and the information
// window build on.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "protocol/answer_dump.h"
#include "protocol/daytime_scan.h"
#include "protocol/wire_formats.h"

namespace horavex::fuzz {
namespace {

using Area = std::span<const std::uint8_t, kAnswerSize>;

std::uint32_t Be32(Area a, std::size_t at) {
  return std::uint32_t{a[at]} << 24 | std::uint32_t{a[at + 1]} << 16 | std::uint32_t{a[at + 2]} << 8 | a[at + 3];
}

std::size_t TextLength(Area a) {
  std::size_t n = 0;
  while (n < a.size() && a[n] != 0) ++n;
  return n;
}

void RequireUtcBreakdown(const std::tm& got, std::int32_t seconds) {
  Require(seconds >= 0, "a decoded answer has calendar seconds >= 0");
  const std::time_t t = seconds;
  std::tm want{};
  gmtime_r(&t, &want);
  Require(got.tm_year == want.tm_year && got.tm_mon == want.tm_mon && got.tm_mday == want.tm_mday &&
              got.tm_hour == want.tm_hour && got.tm_min == want.tm_min && got.tm_sec == want.tm_sec &&
              got.tm_wday == want.tm_wday,
          "the result is the UTC breakdown of the calendar seconds");
}

void CheckDecode(ClientKind kind, Area a) {
  const std::optional<DecodedTime> d = DecodeAnswer(kind, a);
  if (d) RequireUtcBreakdown(d->utc, d->calendarSeconds);
  if (d && kind != ClientKind::SntpUdp) Require(d->milliseconds == -1, "only SNTP has milliseconds");
  switch (kind) {
    case ClientKind::TimeTcp:
    case ClientKind::TimeUdp: {
      const auto seconds = static_cast<std::int32_t>(Be32(a, 0) - kSeconds1900To1970);
      Require(d.has_value() == (seconds >= 0), "Time: valid exactly when not negative");
      if (d) Require(d->calendarSeconds == seconds, "Time: seconds since 1970");
      break;
    }
    case ClientKind::DaytimeTcp:
    case ClientKind::DaytimeUdp: {
      const DaytimeFields f = ScanDaytime(DaytimeText(a));
      if (d) Require(f.items == 7 && MonthFromName(f.month).has_value(), "Daytime: accepted only when fully scanned");
      break;
    }
    case ClientKind::SntpUdp: {
      if (a[0] >> 6 == 3) {
        Require(!d, "SNTP: leap indicator 3 is refused");
        break;
      }
      const auto seconds = static_cast<std::int32_t>(Be32(a, 40) - kSeconds1900To1970);
      Require(d.has_value() == (seconds >= 0), "SNTP: valid exactly when not negative");
      if (d) Require(d->calendarSeconds == seconds, "SNTP: transmit seconds");
      if (d) Require(d->milliseconds >= 0 && d->milliseconds <= 999, "SNTP: milliseconds 0-999");
      break;
    }
  }
}

std::string Hex(Area a, std::size_t n) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%02X ", unsigned{a[i]});
    out += buf;
  }
  return out + "\r\n";
}

// What follows the byte line, for the kinds whose details are fixed by the bytes alone.
std::optional<std::string> ExpectedDetails(std::uint32_t kind, Area a) {
  if (kind == 0 || kind == 1) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "Berekening: %u - %u=%u\r\nis aantal sec vanaf 1 jan 1970 0:00 uur", Be32(a, 0),
                  kSeconds1900To1970, Be32(a, 0) - kSeconds1900To1970);
    return buf;
  }
  if (kind == 2 || kind == 3) {
    const std::string_view text(reinterpret_cast<const char*>(a.data()), TextLength(a));
    const bool plain = std::all_of(text.begin(), text.end(), [](unsigned char c) {
      return c == '\t' || c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F);
    });
    if (plain) return "String ontvangen:\r\n[" + std::string(text) + "]";
    return std::nullopt;  // see CheckNonAsciiText
  }
  if (kind > 4) return "";
  return std::nullopt;
}

void CheckSntpDetails(std::string_view details, Area a) {
  std::size_t lines = 0;
  for (std::size_t at = details.find("\r\n"); at != std::string_view::npos; at = details.find("\r\n", at + 2)) ++lines;
  Require(lines == 13 && details.ends_with("\r\n"), "SNTP: 13 whole lines of fields");
  Require(details.starts_with("LI Leap Indicator (XX------): "), "SNTP: leap indicator first");
  char last[64];
  std::snprintf(last, sizeof last, "Transmit Timestamp : %u.%010u\r\n", Be32(a, 40), Be32(a, 44));
  Require(details.ends_with(last), "SNTP: transmit timestamp last, in full");
}

// Text with bytes outside printable ASCII: shown as it stands when it is UTF-8 text, else announced
// with the bytes that are not text escaped; never a control character on the screen.
void CheckNonAsciiText(std::string_view details, std::string_view text) {
  constexpr std::string_view kPlain = "String ontvangen:\r\n[";
  constexpr std::string_view kEscaped = "String ontvangen (bytes die geen tekst zijn als \\xNN):\r\n[";
  const bool plain = details.starts_with(kPlain);
  Require((plain || details.starts_with(kEscaped)) && details.ends_with("]"), "Daytime: text bracketed");
  const std::size_t headSize = plain ? kPlain.size() : kEscaped.size();
  const std::string_view body = details.substr(headSize, details.size() - headSize - 1);
  if (plain) Require(body == text, "Daytime: UTF-8 text shown as it stands");
  if (!plain) Require(body.find("\\x") != std::string_view::npos, "Daytime: announced escapes are there");
  Require(std::none_of(body.begin(), body.end(),
                       [](unsigned char c) { return c < 0x20 && c != '\t' && c != '\r' && c != '\n'; }),
          "Daytime: no control character shown");
}

void CheckDump(std::uint32_t kind, Area a) {
  static constexpr std::string_view kNames[] = {"Time via TCP", "Time via UDP", "DayTime via TCP",
                                                "DayTime via UDP"};
  const std::string dump = BuildDump(static_cast<ClientKind>(kind), a);
  const std::size_t headEnd = dump.find("\r\nDUMP:\r\n");
  Require(dump.starts_with("Type client: ") && headEnd != std::string::npos, "dump head");
  const std::string_view name = std::string_view(dump).substr(13, headEnd - 13);
  if (kind < 4) Require(name == kNames[kind], "kind name");
  if (kind > 4) Require(name == "ONBEKEND", "unknown kind name");
  const std::size_t shown = kind < 2 ? 4 : kind < 4 ? TextLength(a) : kind == 4 ? kNtpPacketSize : 0;
  const std::string hex = Hex(a, shown);
  const std::size_t hexAt = headEnd + 9;
  Require(dump.compare(hexAt, hex.size(), hex) == 0, "the byte line shows exactly the kind's bytes");
  const std::string_view details = std::string_view(dump).substr(hexAt + hex.size());
  if (const auto want = ExpectedDetails(kind, a)) {
    Require(details == *want, "details of the kind");
  } else if (kind == 2 || kind == 3) {
    CheckNonAsciiText(details, std::string_view(reinterpret_cast<const char*>(a.data()), TextLength(a)));
  } else {
    CheckSntpDetails(details, a);
  }
  const bool hasAnswer = a[0] != 0 || a[1] != 0 || a[2] != 0 || a[4] != 0;
  Require(InfoText(static_cast<ClientKind>(kind), a) == (hasAnswer ? dump : "Geen informatie aanwezig"), "info text");
}

}  // namespace
}  // namespace horavex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace horavex;
  // Exactly the area on the heap, zero-filled beyond the input: a read past it is caught.
  const auto area = std::make_unique<std::uint8_t[]>(kAnswerSize);
  std::copy_n(data, std::min(size, kAnswerSize), area.get());
  const std::span<const std::uint8_t, kAnswerSize> answer(area.get(), kAnswerSize);
  for (std::uint32_t kind = 0; kind <= 5; ++kind) {
    if (kind < kClientKindCount) fuzz::CheckDecode(static_cast<ClientKind>(kind), answer);
    fuzz::CheckDump(kind, answer);  // 5: a kind the dump does not know
  }
  return 0;
}
