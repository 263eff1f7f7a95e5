// Small blocking network helpers for tests: free ports, readiness checks and peers, on loopback
// only, each bounded in time.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace horavex::testing {

using Bytes = std::vector<std::uint8_t>;

// A port free for both TCP and UDP on 127.0.0.1 at the moment of asking, 0 when none was found.
// Another process may take it before the caller binds it: callers retry with a new port.
std::uint16_t FreePort();

// Whether this machine has IPv6 on loopback (::1); tests of IPv6 skip without it.
bool HasIpv6Loopback();

// The first datagram answering `request` from `address`:`port` (127.0.0.1 or ::1); the request
// is sent again every 100 ms. Nothing when no answer came within `bound`.
std::optional<Bytes> WaitForUdpAnswer(std::uint16_t port, std::span<const std::uint8_t> request,
                                      std::chrono::milliseconds bound, const char* address = "127.0.0.1");

// A socket on loopback, of the family of `address`. UDP: bound to `address`:`port` (0: any free
// port); a send connects it, so that only answers from where it sent are received. TCP: connected to `address`:`port`, complete once the
// kernel has it, before any accept.
class Peer {
 public:
  enum class Type { Udp, Tcp };
  explicit Peer(Type type, std::uint16_t port = 0, const char* address = "127.0.0.1");
  ~Peer() {
    if (fd_ >= 0) ::close(fd_);
  }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;
  // False when the address could not be bound or connected.
  bool Valid() const { return fd_ >= 0; }
  std::uint16_t Port() const { return port_; }
  // UDP: sends one datagram to `toAddress`:`to` (default: the loopback address of its family,
  // 127.0.0.1 or ::1). TCP: sends on the connection (`to` is ignored).
  void Send(std::string_view payload, std::uint16_t to = 0, const char* toAddress = nullptr);
  // What arrives within `bound`, at most `stopAfter` datagrams (UDP) or reads (TCP). A TCP
  // connection's end adds an empty read last, or one holding its errno (ECONNRESET: a reset).
  std::vector<Bytes> Receive(std::chrono::milliseconds bound, std::size_t stopAfter = SIZE_MAX);

 private:
  Type type_;
  bool v6_ = false;
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace horavex::testing
