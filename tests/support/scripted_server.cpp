#include "support/scripted_server.h"

#include <algorithm>

namespace horavex::testing {

Bytes TimeAnswer(std::int64_t unixSeconds) {
  const auto answer = MakeServerAnswer(ServerKind::TimeTcp, unixSeconds);
  return Bytes(answer.Span().begin(), answer.Span().end());
}

Bytes SntpStamp(std::chrono::nanoseconds unixTime) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(unixTime);
  const std::uint64_t ntp = (static_cast<std::uint64_t>(seconds.count() + kSeconds1900To1970) << 32) |
                            (static_cast<std::uint64_t>((unixTime - seconds).count()) << 32) / 1'000'000'000;
  Bytes b(kNtpPacketSize, 0);
  b[0] = 0x24, b[1] = 2;
  for (std::size_t at : {32u, 40u})
    for (int i = 0; i < 8; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(ntp >> (56 - 8 * i));
  return b;
}

Bytes SntpAnswer(std::int64_t unixSeconds, int milliseconds, std::uint8_t byte0) {
  const Bytes seconds = TimeAnswer(unixSeconds);
  // Rounded up in the 16 bits a client reads, so that the milliseconds decode back exactly.
  const std::uint32_t fraction = (static_cast<std::uint32_t>(std::clamp(milliseconds, 0, 999)) * 65536 + 999) / 1000;
  Bytes b(kNtpPacketSize, 0);
  b[0] = byte0, b[1] = 2;  // stratum 2: a secondary reference
  for (std::size_t at : {16u, 32u, 40u}) {
    std::copy(seconds.begin(), seconds.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
    b[at + 4] = static_cast<std::uint8_t>(fraction >> 8), b[at + 5] = static_cast<std::uint8_t>(fraction);
  }
  return b;
}

}  // namespace horavex::testing
