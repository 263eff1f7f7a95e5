#include "support/loopback_probe.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace horavex::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

sockaddr_in Address(std::uint16_t port, const char* ip = "127.0.0.1") {
  sockaddr_in a{AF_INET, htons(port), {}, {}};
  inet_pton(AF_INET, ip, &a.sin_addr);
  return a;
}

}  // namespace

std::uint16_t FreePort() {
  for (int attempt = 0; attempt < 64; ++attempt) {
    const Peer udp(Peer::Type::Udp);
    const int tcp = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = Address(udp.Port());
    const bool free = udp.Valid() && bind(tcp, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    close(tcp);
    if (free) return udp.Port();
  }
  return 0;
}

std::optional<Bytes> WaitForUdpAnswer(std::uint16_t port, std::span<const std::uint8_t> request, milliseconds bound) {
  const auto deadline = Clock::now() + bound;
  Peer peer(Peer::Type::Udp);
  do {
    peer.Send({reinterpret_cast<const char*>(request.data()), request.size()}, port);
    if (auto answers = peer.Receive(std::min(bound, milliseconds{100}), 1); !answers.empty()) return answers[0];
  } while (Clock::now() < deadline);
  return std::nullopt;
}

Peer::Peer(Type type, std::uint16_t port, const char* address)
    : type_(type), fd_(socket(AF_INET, (type == Type::Udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0)) {
  // A connect on loopback completes at once, is refused, or waits for a full backlog: bounded.
  const timeval bound{3, 0};
  setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
  const sockaddr_in a = Address(port, address);
  if ((type == Type::Udp ? bind : connect)(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    close(fd_);
    fd_ = -1;
  }
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (fd_ >= 0 && getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) == 0) port_ = ntohs(local.sin_port);
}

void Peer::Send(std::string_view payload, std::uint16_t to) {
  const sockaddr_in a = Address(to);
  if (type_ == Type::Udp) connect(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  send(fd_, payload.data(), payload.size(), MSG_NOSIGNAL);
}

std::vector<Bytes> Peer::Receive(milliseconds bound, std::size_t stopAfter) {
  const auto deadline = Clock::now() + bound;
  std::vector<Bytes> got;
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
