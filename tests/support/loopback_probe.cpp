#include "support/loopback_probe.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <asio/ip/udp.hpp>

namespace horavex::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The socket address of ip:port, IPv4 or IPv6 by the text.
asio::ip::udp::endpoint Address(std::uint16_t port, const char* ip = "127.0.0.1") {
  return {asio::ip::make_address(ip), port};
}

}  // namespace

std::uint16_t FreePort() {
  for (int attempt = 0; attempt < 64; ++attempt) {
    const Peer udp(Peer::Type::Udp);
    const int tcp = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto a = Address(udp.Port());
    const bool free = udp.Valid() && bind(tcp, a.data(), static_cast<socklen_t>(a.size())) == 0;
    close(tcp);
    if (free) return udp.Port();
  }
  return 0;
}

bool HasIpv6Loopback() {
  return Peer(Peer::Type::Udp, 0, "::1").Valid();
}

std::optional<Bytes> WaitForUdpAnswer(std::uint16_t port, std::span<const std::uint8_t> request, milliseconds bound,
                                      const char* address) {
  const auto deadline = Clock::now() + bound;
  Peer peer(Peer::Type::Udp, 0, address);
  do {
    peer.Send({reinterpret_cast<const char*>(request.data()), request.size()}, port);
    if (auto answers = peer.Receive(std::min(bound, milliseconds{100}), 1); !answers.empty()) return answers[0];
  } while (Clock::now() < deadline);
  return std::nullopt;
}

Peer::Peer(Type type, std::uint16_t port, const char* address) : type_(type) {
  auto a = Address(port, address);
  v6_ = a.address().is_v6();
  fd_ = socket(a.protocol().family(), (type == Type::Udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
  // A connect on loopback completes at once, is refused, or waits for a full backlog: bounded.
  const timeval bound{3, 0};
  setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
  if (fd_ >= 0 && (type == Type::Udp ? bind : connect)(fd_, a.data(), static_cast<socklen_t>(a.size())) != 0) {
    close(fd_);
    fd_ = -1;
  }
  socklen_t length = static_cast<socklen_t>(a.capacity());
  if (fd_ >= 0 && getsockname(fd_, a.data(), &length) == 0) port_ = a.port();
}

void Peer::Send(std::string_view payload, std::uint16_t to, const char* toAddress) {
  const auto a = Address(to, toAddress ? toAddress : v6_ ? "::1" : "127.0.0.1");
  if (type_ == Type::Udp) connect(fd_, a.data(), static_cast<socklen_t>(a.size()));
  send(fd_, payload.data(), payload.size(), MSG_NOSIGNAL);
}

std::vector<Bytes> Peer::Receive(milliseconds bound, std::size_t stopAfter) {
  const auto deadline = Clock::now() + bound;
  std::vector<Bytes> got;
  if (fd_ < 0) return got;
  Bytes buffer(65536);
  for (pollfd p{fd_, POLLIN, 0}; got.size() < stopAfter;) {
    const auto left = std::max(milliseconds{0}, std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
    if (poll(&p, 1, static_cast<int>(left.count())) != 1) break;
    const ssize_t n = recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n < 0 && type_ == Type::Tcp) got.push_back({static_cast<std::uint8_t>(errno)});
    if (n >= 0) got.emplace_back(buffer.begin(), buffer.begin() + n);
    if (type_ == Type::Tcp && n <= 0) break;
  }
  return got;
}

}  // namespace horavex::testing
