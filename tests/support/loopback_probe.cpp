#include "support/loopback_probe.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

namespace horavex::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

sockaddr_in Address(std::uint16_t port, const char* ip = "127.0.0.1") {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, ip, &a.sin_addr);
  return a;
}

bool Bind(int fd, std::uint16_t port, const char* ip = "127.0.0.1") {
  const sockaddr_in a = Address(port, ip);
  return fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

bool Connect(int fd, std::uint16_t port) {
  const sockaddr_in a = Address(port);
  return fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

std::uint16_t LocalPortOf(int fd) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  return getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0 ? ntohs(a.sin_port) : 0;
}

// Milliseconds left until `deadline`, at most `cap`, never negative.
int Remaining(Clock::time_point deadline, milliseconds cap) {
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::clamp(left, milliseconds{0}, cap).count());
}

bool PollFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  return poll(&p, 1, timeoutMs) == 1;
}

}  // namespace

std::uint16_t FreePort() {
  for (int attempt = 0; attempt < 64; ++attempt) {
    const int tcp = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const std::uint16_t port = Bind(tcp, 0) ? LocalPortOf(tcp) : 0;
    const bool udpFree = port != 0 && UdpPeer(port).Valid();
    if (tcp >= 0) close(tcp);
    if (udpFree) return port;
  }
  return 0;
}

bool WaitForTcp(std::uint16_t port, milliseconds bound) {
  const auto deadline = Clock::now() + bound;
  do {
    if (TcpPeer(port, milliseconds{Remaining(deadline, milliseconds{200})}).Connected()) return true;
    std::this_thread::sleep_for(milliseconds{20});
  } while (Clock::now() < deadline);
  return false;
}

std::optional<Bytes> WaitForUdpAnswer(std::uint16_t port, std::span<const std::uint8_t> request,
                                      milliseconds bound) {
  const std::string_view payload(reinterpret_cast<const char*>(request.data()), request.size());
  const auto deadline = Clock::now() + bound;
  UdpPeer peer;
  do {
    peer.Send(port, payload);
    if (auto answers = peer.Receive(milliseconds{Remaining(deadline, milliseconds{100})}, 1); !answers.empty())
      return answers[0];
  } while (Clock::now() < deadline);
  return std::nullopt;
}

std::vector<Bytes> ExchangeUdp(std::uint16_t port, std::span<const std::uint8_t> request, milliseconds bound) {
  UdpPeer peer;
  peer.Send(port, {reinterpret_cast<const char*>(request.data()), request.size()});
  return peer.Receive(bound);
}

TcpExchange ExchangeTcp(std::uint16_t port, std::span<const std::uint8_t> request, milliseconds bound) {
  const auto deadline = Clock::now() + bound;
  TcpPeer peer(port, bound);
  if (!request.empty()) peer.Send({reinterpret_cast<const char*>(request.data()), request.size()});
  return peer.ReadAll(milliseconds{Remaining(deadline, bound)});
}

UdpPeer::UdpPeer(std::uint16_t sourcePort, const char* source) : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
  if (Bind(fd_, sourcePort, source)) port_ = LocalPortOf(fd_);
  else if (fd_ >= 0) close(std::exchange(fd_, -1));
}

UdpPeer::~UdpPeer() {
  if (fd_ >= 0) close(fd_);
}

void UdpPeer::Send(std::uint16_t port, std::string_view payload) {
  const sockaddr_in to = Address(port);
  sendto(fd_, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

std::vector<Bytes> UdpPeer::Receive(milliseconds bound, std::size_t stopAfter) {
  const auto deadline = Clock::now() + bound;
  std::vector<Bytes> datagrams;
  Bytes buffer(65536);
  while (datagrams.size() < stopAfter && PollFor(fd_, POLLIN, Remaining(deadline, bound))) {
    const ssize_t n = recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n >= 0) datagrams.emplace_back(buffer.begin(), buffer.begin() + n);
  }
  return datagrams;
}

TcpPeer::TcpPeer(std::uint16_t port, milliseconds bound)
    : fd_(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
  int error = 0;
  socklen_t len = sizeof error;
  const bool connected = Connect(fd_, port) || (fd_ >= 0 && errno == EINPROGRESS &&
                                                PollFor(fd_, POLLOUT, static_cast<int>(bound.count())) &&
                                                getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0);
  if (connected) fcntl(fd_, F_SETFL, 0);  // blocking again: reads wait in poll
  else if (fd_ >= 0) close(std::exchange(fd_, -1));
}

TcpPeer::~TcpPeer() {
  if (fd_ >= 0) close(fd_);
}

std::uint16_t TcpPeer::LocalPort() const { return LocalPortOf(fd_); }

void TcpPeer::Send(std::string_view bytes) { send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

TcpExchange TcpPeer::ReadAll(milliseconds bound) {
  TcpExchange result;
  result.connected = Connected();
  const auto deadline = Clock::now() + bound;
  std::uint8_t buffer[4096];
  while (result.connected && PollFor(fd_, POLLIN, Remaining(deadline, bound))) {
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      result.closedByPeer = true;
      result.error = n < 0 ? errno : 0;
      break;
    }
    result.received.insert(result.received.end(), buffer, buffer + n);
  }
  return result;
}

}  // namespace horavex::testing
