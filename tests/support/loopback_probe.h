// Small blocking network helpers for tests: free ports, readiness checks, one-shot exchanges and
// peers that choose or know their own port, all on loopback only, each bounded in time.
#pragma once

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

// True once a TCP connection to 127.0.0.1:`port` succeeds, polling until `bound` passes.
bool WaitForTcp(std::uint16_t port, std::chrono::milliseconds bound);

// The first datagram answering `request` from 127.0.0.1:`port`; the request is sent again every
// 100 ms. Nothing when no answer came within `bound`.
std::optional<Bytes> WaitForUdpAnswer(std::uint16_t port, std::span<const std::uint8_t> request,
                                      std::chrono::milliseconds bound);

// Sends `request` once to 127.0.0.1:`port` and returns every datagram that arrives from there
// until `bound` passes.
std::vector<Bytes> ExchangeUdp(std::uint16_t port, std::span<const std::uint8_t> request,
                               std::chrono::milliseconds bound);

struct TcpExchange {
  bool connected = false;     // the connection was accepted
  bool closedByPeer = false;  // the peer closed (or reset) it before `bound` passed
  int error = 0;              // the errno that ended it instead of a clean end (ECONNRESET: a reset)
  Bytes received;             // everything that arrived
};
// Connects to 127.0.0.1:`port`, sends `request`, and collects what arrives until the peer closes
// the connection or `bound` passes.
TcpExchange ExchangeTcp(std::uint16_t port, std::span<const std::uint8_t> request, std::chrono::milliseconds bound);

// A UDP socket on `source` (a loopback address) and `sourcePort` (0: any free one).
class UdpPeer {
 public:
  explicit UdpPeer(std::uint16_t sourcePort = 0, const char* source = "127.0.0.1");
  ~UdpPeer();
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;
  // False when the address could not be bound.
  bool Valid() const { return fd_ >= 0; }
  std::uint16_t Port() const { return port_; }
  void Send(std::uint16_t port, std::string_view payload);
  // Every datagram that arrives within `bound`, at most `stopAfter`.
  std::vector<Bytes> Receive(std::chrono::milliseconds bound, std::size_t stopAfter = SIZE_MAX);

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

// A TCP connection to 127.0.0.1:`port`, complete once the kernel has it, before any accept.
class TcpPeer {
 public:
  explicit TcpPeer(std::uint16_t port, std::chrono::milliseconds bound = std::chrono::seconds{3});
  ~TcpPeer();
  TcpPeer(const TcpPeer&) = delete;
  TcpPeer& operator=(const TcpPeer&) = delete;
  bool Connected() const { return fd_ >= 0; }
  std::uint16_t LocalPort() const;
  void Send(std::string_view bytes);
  // Reads until the peer ends the connection or `bound` passes.
  TcpExchange ReadAll(std::chrono::milliseconds bound);

 private:
  int fd_ = -1;
};

}  // namespace horavex::testing
