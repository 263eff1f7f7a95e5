#include "support/scripted_server.h"

#include <algorithm>

namespace horavex::testing {

Bytes TimeAnswer(std::int64_t unixSeconds) {
  const auto answer = MakeServerAnswer(ServerKind::TimeTcp, unixSeconds);
  return Bytes(answer.Span().begin(), answer.Span().end());
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
