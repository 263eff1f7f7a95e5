// One client's exchange with its server: look the name up, open a socket of the kind's
// transport, connect, send the request, and receive the answer once. Every wait ends at the
// request's deadline, or at once when the request is cancelled (operation_aborted).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include <asio/any_io_executor.hpp>
#include <asio/awaitable.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ip/udp.hpp>

#include "client/name_lookup.h"
#include "protocol/kinds.h"
#include "protocol/wire_formats.h"

namespace horavex {

// How long one request may wait for the network, lookup, connect and answer together. Long
// enough for a distant server on a slow line, short enough that a dead one is reported while
// the user still looks.
inline constexpr std::chrono::milliseconds kRequestTimeout{5000};

struct ReceiveResult {
  std::int64_t count = 0;  // bytes received, 0 for an orderly close, -1 for an error
  std::error_code error;   // the error of the receive, if any
  // When the kernel took the datagram in (Unix time, CLOCK_REALTIME), where the socket says.
  std::optional<std::chrono::nanoseconds> arrived = std::nullopt;
};

class TimeConnection {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  // A connection of `kind`'s transport whose sockets and timers run on `io`.
  TimeConnection(asio::any_io_executor io, ClientKind kind);

  // Looks `host` up through `resolve`, makes the socket and connects it to `port`: TCP tries
  // each address in turn, UDP fixes the first address it can as the peer. A port above 65535 is
  // refused with EINVAL. An expired deadline is timed_out.
  asio::awaitable<std::error_code> Connect(std::string host, unsigned port, Deadline deadline,
                                           HostResolver resolve = ResolveHost);

  // Sends the request; its result is not looked at, as a lost request shows as a missing answer.
  void Send(std::span<const std::uint8_t> request);
  // Called right before every send, the request sent again to a further UDP address included.
  void OnSend(std::function<void()> beforeSend) { beforeSend_ = std::move(beforeSend); }

  // Receives an answer into `area`: one datagram (a longer one arrives cut), or over TCP the
  // pieces until the server closes, the answer is complete (4 bytes for Time, a line end for
  // Daytime) or the area is full. At the deadline or an error, what has arrived is the answer;
  // with nothing arrived an expired deadline gives -1 with timed_out. Over UDP each address of
  // the name is asked in turn: an address that refuses passes to the next at once, a silent one
  // after its share of the time left (the time left split evenly over the addresses not yet asked).
  asio::awaitable<ReceiveResult> Receive(std::span<std::uint8_t> area, Deadline deadline);

  void Close();

 private:
  bool IsComplete(std::span<const std::uint8_t> received) const;
  asio::awaitable<std::error_code> ConnectTcp(std::uint16_t port, Deadline deadline);
  // Points the UDP socket at the next address that takes it; the last error when none does.
  std::error_code ConnectNextUdp();
  // One address's receive, until `until`.
  asio::awaitable<ReceiveResult> ReceiveOnce(std::span<std::uint8_t> area, Deadline until);

  asio::any_io_executor m_io;
  ClientKind m_kind;
  asio::ip::tcp::socket m_tcp;
  asio::ip::udp::socket m_udp;
  std::vector<asio::ip::address> m_addresses;
  std::size_t m_next = 0;  // UDP: the address after the one the socket is connected to
  std::uint16_t m_port = 0;
  std::vector<std::uint8_t> m_request;  // sent again to each further UDP address
  std::function<void()> beforeSend_;
};

}  // namespace horavex
