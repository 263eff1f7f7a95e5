#include "support/scripted_server.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace horavex::testing {

Bytes TimeAnswer(std::int64_t unixSeconds) {
  const auto answer = MakeServerAnswer(ServerKind::TimeTcp, unixSeconds);
  return Bytes(answer.Span().begin(), answer.Span().end());
}

void EnableArrivalStamps(asio::ip::udp::socket& socket) {
  const int on = 1;
  ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
}

std::size_t ReceiveStamped(asio::ip::udp::socket& socket, std::span<std::uint8_t> into, asio::ip::udp::endpoint& from,
                           std::chrono::nanoseconds& arrived) {
  iovec part{into.data(), into.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
  msghdr message{};
  message.msg_name = from.data();
  message.msg_namelen = static_cast<socklen_t>(from.capacity());
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t n = ::recvmsg(socket.native_handle(), &message, MSG_DONTWAIT);
  if (n <= 0) return 0;
  from.resize(message.msg_namelen);
  arrived = std::chrono::system_clock::now().time_since_epoch();
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    timespec stamp{};
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
    std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
    arrived = std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec);
  }
  return static_cast<std::size_t>(n);
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
