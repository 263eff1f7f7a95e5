#include "server_test_util.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace horavex::testing {
namespace {

sockaddr_in Address(const char* ip, std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, ip, &a.sin_addr);
  return a;
}

int MillisLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ServerLoop::ServerLoop(Threads threads) : logicWork_(logic_.get_executor()) {
  if (threads == Threads::Split) {
    io_.emplace();
    ioWork_.emplace(io_->get_executor());
    ioThread_ = std::thread([this] { io_->run(); });
  }
}

ServerLoop::~ServerLoop() {
  if (io_) {
    ioWork_.reset();
    io_->stop();
    ioThread_.join();
  }
}

Executors ServerLoop::Get() {
  if (io_) return {io_->get_executor(), logic_.get_executor()};
  return {logic_.get_executor(), logic_.get_executor()};
}

void ServerLoop::Run(std::chrono::milliseconds duration) { logic_.run_for(duration); }

void UseTestZone() {
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
}

UdpPeer::UdpPeer(std::uint16_t sourcePort, const char* source) : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
  const sockaddr_in a = Address(source, sourcePort);
  if (fd_ >= 0 && bind(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    close(fd_);
    fd_ = -1;
  }
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  if (fd_ >= 0 && getsockname(fd_, reinterpret_cast<sockaddr*>(&bound), &length) == 0) port_ = ntohs(bound.sin_port);
}

UdpPeer::~UdpPeer() {
  if (fd_ >= 0) close(fd_);
}

void UdpPeer::Send(std::uint16_t port, const std::string& payload) {
  const sockaddr_in to = Address("127.0.0.1", port);
  sendto(fd_, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

std::vector<std::string> UdpPeer::Receive(std::chrono::milliseconds bound, std::size_t stopAfter) {
  std::vector<std::string> datagrams;
  const auto deadline = std::chrono::steady_clock::now() + bound;
  pollfd p{fd_, POLLIN, 0};
  while (datagrams.size() < stopAfter && poll(&p, 1, MillisLeft(deadline)) == 1) {
    char buffer[2048];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n >= 0) datagrams.emplace_back(buffer, static_cast<std::size_t>(n));
  }
  return datagrams;
}

TcpPeer::TcpPeer(std::uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  const sockaddr_in to = Address("127.0.0.1", port);
  // The handshake completes in the kernel, whether or not the server has accepted yet.
  connected_ = fd_ >= 0 && connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
}

TcpPeer::~TcpPeer() {
  if (fd_ >= 0) close(fd_);
}

std::uint16_t TcpPeer::LocalPort() const {
  sockaddr_in a{};
  socklen_t length = sizeof a;
  return getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) == 0 ? ntohs(a.sin_port) : 0;
}

void TcpPeer::Send(const std::string& bytes) { send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

TcpPeer::Outcome TcpPeer::ReadAll(std::chrono::milliseconds bound) {
  Outcome out;
  const auto deadline = std::chrono::steady_clock::now() + bound;
  pollfd p{fd_, POLLIN, 0};
  while (poll(&p, 1, MillisLeft(deadline)) == 1) {
    char buffer[512];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n > 0) {
      out.received.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0) out.ended = true;
    else out.error = errno;
    break;
  }
  return out;
}

}  // namespace horavex::testing
