#include "support/server_script.h"

#include <algorithm>
#include <random>

#include "protocol/kinds.h"
#include "protocol/time_formats.h"

namespace horavex::testing {
namespace {

void PutU32(Bytes& b, std::size_t offset, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

}  // namespace

Script Script::Answer(Transport t, Bytes answer) { return {t, std::move(answer)}; }

Script Script::Silent(Transport t) { return {t, std::nullopt}; }

Script Script::Slow(Transport t, std::chrono::milliseconds delay, Bytes answer) { return {t, std::move(answer), delay}; }

Script Script::TooShort(Transport t) { return Answer(t, {0xBC, 0x17, 0xC2}); }

Script Script::FirstByteZero(Transport t, Bytes answer) {
  if (!answer.empty()) answer[0] = 0;
  return Answer(t, std::move(answer));
}

Script Script::Oversized(Transport t) {
  Bytes answer(100);
  for (std::size_t i = 0; i < answer.size(); ++i) answer[i] = static_cast<std::uint8_t>('A' + i % 26);
  return Answer(t, std::move(answer));
}

Script Script::SntpLeapAlarm(std::int64_t unixSeconds) {
  return Answer(Transport::Udp, SntpAnswer(unixSeconds, 0, 0xDC));
}

Script Script::DaytimeUnterminated(Transport t, std::string_view text) {
  text = text.substr(text.size() > kAnswerSize ? text.size() - kAnswerSize : 0);
  Bytes answer(kAnswerSize, ' ');
  std::copy(text.begin(), text.end(), answer.end() - static_cast<std::ptrdiff_t>(text.size()));
  return Answer(t, std::move(answer));
}

Script Script::Garbage(Transport t, std::size_t length) {
  std::mt19937 random(20030123);  // fixed: a failure must reproduce
  Bytes answer(length);
  for (auto& b : answer) b = static_cast<std::uint8_t>(random());
  if (!answer.empty() && answer[0] == 0) answer[0] = 0xA5;
  return Answer(t, std::move(answer));
}

Bytes TimeAnswer(std::int64_t unixSeconds) {
  const auto answer = MakeServerAnswer(ServerKind::TimeTcp, unixSeconds);
  return Bytes(answer.Span().begin(), answer.Span().end());
}

Bytes SntpAnswer(std::int64_t unixSeconds, int milliseconds, std::uint8_t byte0) {
  Bytes b(kNtpPacketSize, 0);
  b[0] = byte0;
  b[1] = 2;     // stratum: secondary reference
  b[2] = 6;     // poll: 64 s
  b[3] = 0xEC;  // precision: 2^-20 s
  PutU32(b, 12, 0x7F7F0101);
  const auto seconds = static_cast<std::uint32_t>(static_cast<std::uint64_t>(unixSeconds) + kSeconds1900To1970);
  // Rounded up in the 16 bits a client reads, so that the milliseconds decode back exactly.
  const auto ms = static_cast<std::uint32_t>(std::clamp(milliseconds, 0, 999));
  const std::uint32_t fraction = (ms * 65536 + 999) / 1000 << 16;
  for (std::size_t offset : {16u, 32u, 40u}) {
    PutU32(b, offset, seconds);
    PutU32(b, offset + 4, fraction);
  }
  return b;
}

Bytes DaytimeAnswer(std::string_view text) { return Bytes(text.begin(), text.end()); }

}  // namespace horavex::testing
