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

namespace horavex::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd& operator=(Fd&&) = delete;
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

bool Bind(const Fd& fd, std::uint16_t port) {
  const sockaddr_in a = Loopback(port);
  return fd.Valid() && bind(fd.Get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

bool Connect(const Fd& fd, std::uint16_t port) {
  const sockaddr_in a = Loopback(port);
  return fd.Valid() && connect(fd.Get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

// Milliseconds left until `deadline`, at most `cap`, never negative.
int Remaining(Clock::time_point deadline, milliseconds cap) {
  const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::clamp(left, milliseconds{0}, cap).count());
}

bool PollFor(const Fd& fd, short events, int timeoutMs) {
  pollfd p{fd.Get(), events, 0};
  return poll(&p, 1, timeoutMs) == 1;
}

// A TCP connection to the port, or an invalid Fd when it was refused or took longer than `timeoutMs`.
Fd ConnectTcp(std::uint16_t port, int timeoutMs) {
  Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.Valid()) return fd;
  if (!Connect(fd, port)) {
    if (errno != EINPROGRESS || !PollFor(fd, POLLOUT, timeoutMs)) return Fd(-1);
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) return Fd(-1);
  }
  fcntl(fd.Get(), F_SETFL, 0);  // blocking again: later reads wait in poll
  return fd;
}

}  // namespace

std::uint16_t FreePort() {
  for (int attempt = 0; attempt < 64; ++attempt) {
    Fd tcp(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!Bind(tcp, 0)) return 0;
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (getsockname(tcp.Get(), reinterpret_cast<sockaddr*>(&a), &len) != 0) return 0;
    const std::uint16_t port = ntohs(a.sin_port);
    Fd udp(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (Bind(udp, port)) return port;
  }
  return 0;
}

bool WaitForTcp(std::uint16_t port, milliseconds bound) {
  const auto deadline = Clock::now() + bound;
  do {
    if (ConnectTcp(port, Remaining(deadline, milliseconds{200})).Valid()) return true;
    std::this_thread::sleep_for(milliseconds{20});
  } while (Clock::now() < deadline);
  return false;
}

std::optional<Bytes> WaitForUdpAnswer(std::uint16_t port, std::span<const std::uint8_t> request,
                                      milliseconds bound) {
  // Connected, so that only this port's datagrams arrive and a closed port reports itself.
  Fd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!Connect(fd, port)) return std::nullopt;
  const auto deadline = Clock::now() + bound;
  Bytes buffer(65536);
  do {
    const auto resend = Clock::now() + milliseconds{100};
    send(fd.Get(), request.data(), request.size(), MSG_NOSIGNAL);
    while (PollFor(fd, POLLIN, Remaining(std::min(deadline, resend), milliseconds{100}))) {
      const ssize_t n = recv(fd.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (n >= 0) return Bytes(buffer.begin(), buffer.begin() + n);
    }
    std::this_thread::sleep_until(std::min(resend, deadline));
  } while (Clock::now() < deadline);
  return std::nullopt;
}

std::vector<Bytes> ExchangeUdp(std::uint16_t port, std::span<const std::uint8_t> request, milliseconds bound) {
  Fd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  std::vector<Bytes> datagrams;
  if (!Connect(fd, port)) return datagrams;
  const auto deadline = Clock::now() + bound;
  send(fd.Get(), request.data(), request.size(), MSG_NOSIGNAL);
  Bytes buffer(65536);
  while (PollFor(fd, POLLIN, Remaining(deadline, bound))) {
    const ssize_t n = recv(fd.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n >= 0) datagrams.emplace_back(buffer.begin(), buffer.begin() + n);
  }
  return datagrams;
}

TcpExchange ExchangeTcp(std::uint16_t port, std::span<const std::uint8_t> request, milliseconds bound) {
  const auto deadline = Clock::now() + bound;
  TcpExchange result;
  Fd fd = ConnectTcp(port, Remaining(deadline, bound));
  if (!fd.Valid()) return result;
  result.connected = true;
  if (!request.empty()) send(fd.Get(), request.data(), request.size(), MSG_NOSIGNAL);
  std::uint8_t buffer[4096];
  while (PollFor(fd, POLLIN, Remaining(deadline, bound))) {
    const ssize_t n = recv(fd.Get(), buffer, sizeof buffer, 0);
    if (n <= 0) {
      result.closedByPeer = true;
      break;
    }
    result.received.insert(result.received.end(), buffer, buffer + n);
  }
  return result;
}

}  // namespace horavex::testing
