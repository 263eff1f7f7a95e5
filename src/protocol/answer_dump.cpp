#include "protocol/answer_dump.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>
#include <string_view>

#include "common/language.h"
#include "protocol/byte_reader.h"
#include "protocol/daytime_scan.h"
#include "protocol/kinds.h"

namespace horavex {
namespace {

// Marked only: TrCrlf() where they are shown.
constexpr std::array<const char*, 4> kLeapTexts{
    TrNoop("00, Geen waarschuwing\n"),
    TrNoop("01, Laatste minuut 61 seconden\n"),
    TrNoop("10, Laatste minuut 59 seconden\n"),
    TrNoop("11, ALARM geen synchronisatie\n"),
};

constexpr std::array<std::string_view, 8> kModeTexts{
    "reserved\r\n",
    "symmetric active\r\n",
    "symmetric passive\r\n",
    "client\r\n",
    "server\r\n",
    "broadcast\r\n",
    "reserved for NTP control message\r\n",
    "reserved for private use\r\n",
};

std::string_view StratumText(unsigned stratum) {
  if (stratum == 0) return "(0=unspecified or unavailable)\r\n";
  if (stratum == 1) return "(1=primary reference (e.g., radio clock))\r\n";
  if (stratum <= 15) return "(2-15=secondary reference (via NTP or SNTP))\r\n";
  return "(16-255 reserved)\r\n";
}

template <typename... Args>
void AppendF(std::string& out, const char* format, Args... args) {
  char buf[96];
  const int n = std::snprintf(buf, sizeof buf, format, args...);
  if (n > 0) out.append(buf, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf - 1));
}

// The length of the UTF-8 sequence that starts `bytes` when it is valid and a character of text
// (no control character); 0 otherwise.
std::size_t TextCharLength(std::span<const std::uint8_t> bytes) {
  const std::uint8_t lead = bytes[0];
  if (lead == '\t' || lead == '\r' || lead == '\n' || (lead >= 0x20 && lead < 0x7F)) return 1;
  const std::size_t n = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (n == 0 || bytes.size() < n) return 0;
  std::uint32_t code = lead & (0x7Fu >> n);
  for (std::size_t i = 1; i < n; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) return 0;
    code = code << 6 | (bytes[i] & 0x3Fu);
  }
  constexpr std::uint32_t kLeast[] = {0, 0, 0xA0, 0x800, 0x10000};  // 0x80-0x9F: controls
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code >= kLeast[n] && code <= 0x10FFFF && !surrogate ? n : 0;
}

// `bytes` as text that is valid UTF-8 whatever arrived: text as it stands, any other byte (a
// control character, Latin-1, garbage) as \xNN. True in `escaped` when there was such a byte.
std::string ReadableText(std::span<const std::uint8_t> bytes, bool& escaped) {
  std::string out;
  escaped = false;
  for (std::size_t i = 0; i < bytes.size();) {
    if (const std::size_t n = TextCharLength(bytes.subspan(i)); n > 0) {
      out.append(reinterpret_cast<const char*>(bytes.data() + i), n);
      i += n;
    } else {
      AppendF(out, "\\x%02X", unsigned{bytes[i++]});
      escaped = true;
    }
  }
  return out;
}

void AppendSntpDetails(std::string& out, const ByteReader& r) {
  const unsigned b0 = r.U8(0);
  out += "LI Leap Indicator (XX------): ";
  out += TrCrlf(kLeapTexts[b0 >> 6]);
  AppendF(out, TrCrlf("Versie (--XXX---): %u\n").c_str(), (b0 >> 3) & 7);
  AppendF(out, "Mode (-----XXX)(%u): ", b0 & 7);
  out += kModeTexts[b0 & 7];
  AppendF(out, "Stratum : %u ", unsigned{r.U8(1)});
  out += StratumText(r.U8(1));
  // Poll and precision are signed exponents; both show as the plain byte, 0-255.
  AppendF(out, "Poll Interval: %u\r\n", unsigned{r.U8(2)});
  AppendF(out, TrCrlf("Preciesie: %u\n").c_str(), unsigned{r.U8(3)});
  AppendF(out, "Root Delay: %u\r\n", r.U32(4));
  AppendF(out, "Root Dispersion: %u\r\n", r.U32(8));
  AppendF(out, "Reference Identifier: %u\r\n", r.U32(12));
  AppendF(out, "Reference Timestamp: %u.%010u\r\n", r.U32(16), r.U32(20));
  AppendF(out, "Originate Timestamp : %u.%010u\r\n", r.U32(24), r.U32(28));
  AppendF(out, "Receive Timestamp : %u.%010u\r\n", r.U32(32), r.U32(36));
  AppendF(out, "Transmit Timestamp : %u.%010u\r\n", r.U32(40), r.U32(44));
}

}  // namespace

bool HasAnswer(std::span<const std::uint8_t, kAnswerSize> answer) {
  return answer[0] != 0 || answer[1] != 0 || answer[2] != 0 || answer[4] != 0;
}

std::string BuildDump(ClientKind kind, std::span<const std::uint8_t, kAnswerSize> answer) {
  const ByteReader r(answer);
  std::string_view name = Tr("ONBEKEND");
  std::span<const std::uint8_t> shown;
  switch (kind) {
    case ClientKind::TimeTcp: name = "Time via TCP"; shown = answer.first(4); break;
    case ClientKind::TimeUdp: name = "Time via UDP"; shown = answer.first(4); break;
    case ClientKind::DaytimeTcp: name = "DayTime via TCP"; shown = DaytimeText(answer); break;
    case ClientKind::DaytimeUdp: name = "DayTime via UDP"; shown = DaytimeText(answer); break;
    case ClientKind::SntpUdp: name = "SNTP via UDP"; shown = answer.first(kNtpPacketSize); break;
  }
  std::string out = Tr("Type client: ");
  out += name;
  out += "\r\nDUMP:\r\n";
  for (std::uint8_t b : shown) AppendF(out, "%02X ", unsigned{b});
  out += "\r\n";
  switch (kind) {
    case ClientKind::TimeTcp:
    case ClientKind::TimeUdp: {
      const std::uint32_t v = r.U32(0);
      AppendF(out, TrCrlf("Berekening: %u - %u=%u\nis aantal sec vanaf 1 jan 1970 0:00 uur").c_str(), v, kSeconds1900To1970,
              v - kSeconds1900To1970);
      break;
    }
    case ClientKind::DaytimeTcp:
    case ClientKind::DaytimeUdp: {
      bool escaped = false;
      const std::string text = ReadableText(shown, escaped);
      out += escaped ? TrCrlf("String ontvangen (bytes die geen tekst zijn als \\xNN):\n[") : TrCrlf("String ontvangen:\n[");
      out += text + "]";
      break;
    }
    case ClientKind::SntpUdp:
      AppendSntpDetails(out, r);
      break;
  }
  return out;
}

std::string InfoText(ClientKind kind, std::span<const std::uint8_t, kAnswerSize> answer) {
  return HasAnswer(answer) ? BuildDump(kind, answer) : Tr("Geen informatie aanwezig");
}

namespace {

// Seconds with six decimals and a decimal comma: "+10,250012 s".
std::string SecondsText(std::chrono::nanoseconds d, bool sign) {
  const long long us = (d.count() < 0 ? d.count() - 500 : d.count() + 500) / 1000;
  const unsigned long long magnitude = static_cast<unsigned long long>(us < 0 ? -us : us);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%llu,%06llu s", us < 0 ? "-" : sign ? "+" : "", magnitude / 1'000'000,
                magnitude % 1'000'000);
  return buf;
}

}  // namespace

std::string SntpTimesText(const SntpTimes& times) {
  std::string out;
  const auto stamp = [&out](const char* label, NtpTime t) {
    AppendF(out, "%s%u.%010u\r\n", label, static_cast<unsigned>(t >> 32), static_cast<unsigned>(t));
  };
  stamp(Tr("T1 verzonden (lokale klok) : "), times.t1);
  stamp(Tr("T2 ontvangen (server) : "), times.t2);
  stamp(Tr("T3 verzonden (server) : "), times.t3);
  stamp(Tr("T4 ontvangen (lokale klok) : "), times.t4);
  out += Tr("Rondreistijd (delta) : ") + SecondsText(times.Delay(), false) + "\r\n";
  out += Tr("Afwijking klok (theta) : ") + SecondsText(times.Offset(), true) + "\r\n";
  return out;
}

std::string InfoText(ClientKind kind, std::span<const std::uint8_t, kAnswerSize> answer, const SntpTimes* times) {
  std::string text = InfoText(kind, answer);
  if (times && kind == ClientKind::SntpUdp && HasAnswer(answer)) text += SntpTimesText(*times);
  return text;
}

}  // namespace horavex
