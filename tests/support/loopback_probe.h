// Small blocking network helpers for tests: free ports, readiness checks and one-shot exchanges,
// all on 127.0.0.1 only, each bounded in time.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
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
  Bytes received;             // everything that arrived
};
// Connects to 127.0.0.1:`port`, sends `request`, and collects what arrives until the peer closes
// the connection or `bound` passes.
TcpExchange ExchangeTcp(std::uint16_t port, std::span<const std::uint8_t> request, std::chrono::milliseconds bound);

}  // namespace horavex::testing
