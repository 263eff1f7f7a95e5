#include "client/time_connection.h"

#include <asio/connect.hpp>
#include <asio/experimental/deferred.hpp>
#include <asio/experimental/parallel_group.hpp>
#include <asio/steady_timer.hpp>
#include <asio/use_awaitable.hpp>

#include "client/name_lookup.h"

namespace horavex {
namespace {

using asio::experimental::make_parallel_group;
using asio::experimental::wait_for_one;

const std::error_code kTimedOut = std::make_error_code(std::errc::timed_out);

}  // namespace

TimeConnection::TimeConnection(asio::any_io_executor io, ClientKind kind)
    : io_(io), kind_(kind), tcp_(io), udp_(io) {}

asio::awaitable<std::error_code> TimeConnection::Connect(std::string host, unsigned port, Deadline deadline) {
  if (port > 65535) co_return std::make_error_code(std::errc::invalid_argument);
  const LookupResult found = co_await LookUpHost(io_, std::move(host), deadline);
  if (found.error) co_return found.error;
  const auto p = static_cast<std::uint16_t>(port);
  if (!IsDatagram(kind_)) co_return co_await ConnectTcp(found.addresses, p, deadline);

  const asio::ip::udp::endpoint peer(found.addresses.front(), p);
  std::error_code ec;
  udp_.open(peer.protocol(), ec);
  if (!ec) udp_.connect(peer, ec);
  co_return ec;
}

asio::awaitable<std::error_code> TimeConnection::ConnectTcp(const std::vector<asio::ip::address>& addresses,
                                                            std::uint16_t port, Deadline deadline) {
  std::vector<asio::ip::tcp::endpoint> endpoints;
  for (const auto& a : addresses) endpoints.emplace_back(a, port);
  asio::steady_timer timer(io_, deadline);
  auto [order, ec, endpoint, timerError] =
      co_await make_parallel_group(asio::async_connect(tcp_, endpoints, asio::experimental::deferred),
                                   timer.async_wait(asio::experimental::deferred))
          .async_wait(wait_for_one(), asio::use_awaitable);
  (void)endpoint;
  (void)timerError;
  co_return order[0] == 1 ? kTimedOut : ec;
}

void TimeConnection::Send(std::span<const std::uint8_t> request) {
  std::error_code ignored;
  if (IsDatagram(kind_)) {
    udp_.send(asio::buffer(request.data(), request.size()), 0, ignored);
  } else if (!request.empty()) {
    tcp_.send(asio::buffer(request.data(), request.size()), 0, ignored);
  }
}

asio::awaitable<ReceiveResult> TimeConnection::Receive(std::span<std::uint8_t> area, Deadline deadline) {
  asio::steady_timer timer(io_, deadline);
  const auto buffer = asio::buffer(area.data(), area.size());
  std::array<std::size_t, 2> order{};
  std::error_code ec;
  std::size_t n = 0;
  if (IsDatagram(kind_)) {
    std::tie(order, ec, n, std::ignore) =
        co_await make_parallel_group(udp_.async_receive(buffer, asio::experimental::deferred), timer.async_wait(asio::experimental::deferred))
            .async_wait(wait_for_one(), asio::use_awaitable);
  } else {
    std::tie(order, ec, n, std::ignore) =
        co_await make_parallel_group(tcp_.async_receive(buffer, asio::experimental::deferred), timer.async_wait(asio::experimental::deferred))
            .async_wait(wait_for_one(), asio::use_awaitable);
  }
  if (order[0] == 1) co_return ReceiveResult{-1, kTimedOut};
  if (ec == asio::error::eof) co_return ReceiveResult{0, {}};
  if (ec) co_return ReceiveResult{-1, ec};
  co_return ReceiveResult{static_cast<std::int64_t>(n), {}};
}

void TimeConnection::Close() {
  std::error_code ignored;
  tcp_.close(ignored);
  udp_.close(ignored);
}

}  // namespace horavex
