#include "client/time_connection.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstring>

#include <asio/connect.hpp>
#include <asio/experimental/deferred.hpp>
#include <asio/experimental/parallel_group.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

#include "client/name_lookup.h"

namespace horavex {
namespace {

using asio::experimental::make_parallel_group;
using asio::experimental::wait_for_one;

const std::error_code kTimedOut = std::make_error_code(std::errc::timed_out);

// One datagram into `buffer` without waiting, with the kernel's time of its arrival.
std::size_t ReceiveStamped(asio::ip::udp::socket& socket, asio::mutable_buffer buffer,
                           std::optional<std::chrono::nanoseconds>& arrived, std::error_code& ec) {
  iovec part{buffer.data(), buffer.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t n = ::recvmsg(socket.native_handle(), &message, MSG_DONTWAIT);
  if (n < 0) {
    ec = std::error_code(errno, asio::error::get_system_category());
    return 0;
  }
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
    timespec stamp{};
    std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
    arrived = std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec);
  }
  ec.clear();
  return static_cast<std::size_t>(n);
}

}  // namespace

TimeConnection::TimeConnection(asio::any_io_executor io, ClientKind kind)
    : m_io(io), m_kind(kind), m_tcp(io), m_udp(io) {}

asio::awaitable<std::error_code> TimeConnection::Connect(std::string host, unsigned port, Deadline deadline,
                                                         HostResolver resolve) {
  if (port > 65535) co_return std::make_error_code(std::errc::invalid_argument);
  LookupResult found = co_await LookUpHost(m_io, std::move(host), deadline, std::move(resolve));
  if (found.error) co_return found.error;
  m_addresses = std::move(found.addresses);
  m_port = static_cast<std::uint16_t>(port);
  if (!IsDatagram(m_kind)) co_return co_await ConnectTcp(m_port, deadline);
  co_return ConnectNextUdp();
}

std::error_code TimeConnection::ConnectNextUdp() {
  std::error_code ec = std::make_error_code(std::errc::address_not_available);
  while (m_next < m_addresses.size()) {
    const asio::ip::udp::endpoint peer(m_addresses[m_next++], m_port);
    m_udp.close(ec);
    m_udp.open(peer.protocol(), ec);
    if (!ec) m_udp.non_blocking(true, ec);  // a receive must never wait on the logic thread
    // The kernel's time of arrival, not the moment the coroutine resumes: the answer's age counts
    // against the clock the way its travel does.
    const int on = 1;
    if (!ec) ::setsockopt(m_udp.native_handle(), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    if (!ec) m_udp.connect(peer, ec);
    if (!ec) return ec;
  }
  return ec;
}

asio::awaitable<std::error_code> TimeConnection::ConnectTcp(std::uint16_t port, Deadline deadline) {
  std::vector<asio::ip::tcp::endpoint> endpoints;
  for (const auto& a : m_addresses) endpoints.emplace_back(a, port);
  asio::steady_timer timer(m_io, deadline);
  auto [order, ec, endpoint, timerError] =
      co_await make_parallel_group(asio::async_connect(m_tcp, endpoints, asio::experimental::deferred),
                                   timer.async_wait(asio::experimental::deferred))
          .async_wait(wait_for_one(), asio::use_awaitable);
  (void)endpoint;
  // A timer that did not expire was cancelled with the request.
  if (order[0] == 1) co_return timerError ? asio::error::operation_aborted : kTimedOut;
  if (!ec) m_tcp.non_blocking(true, ec);  // a receive must never wait on the logic thread
  co_return ec;
}

void TimeConnection::Send(std::span<const std::uint8_t> request) {
  m_request.assign(request.begin(), request.end());
  if (beforeSend_) beforeSend_();
  std::error_code ignored;
  if (IsDatagram(m_kind)) {
    m_udp.send(asio::buffer(request.data(), request.size()), 0, ignored);
  } else if (!request.empty()) {
    m_tcp.send(asio::buffer(request.data(), request.size()), 0, ignored);
  }
}

asio::awaitable<ReceiveResult> TimeConnection::Receive(std::span<std::uint8_t> area, Deadline deadline) {
  for (;;) {
    const auto left = static_cast<long>(IsDatagram(m_kind) ? m_addresses.size() - std::min(m_next, m_addresses.size()) : 0);
    const auto now = std::chrono::steady_clock::now();
    const Deadline until = left == 0 ? deadline : now + (deadline - now) / (left + 1);
    const ReceiveResult r = co_await ReceiveOnce(area, until);
    const bool silentOrRefused = r.error == kTimedOut || r.error == asio::error::connection_refused;
    if (left == 0 || !silentOrRefused || ConnectNextUdp()) co_return r;
    Send(std::vector<std::uint8_t>(m_request));
  }
}

asio::awaitable<ReceiveResult> TimeConnection::ReceiveOnce(std::span<std::uint8_t> area, Deadline until) {
  asio::steady_timer timer(m_io, until);
  std::size_t received = 0;
  std::optional<std::chrono::nanoseconds> arrived;
  // Wait until something is there, then take it without blocking: one receive call per piece,
  // where receiving at once would mostly find nothing yet and have to be tried again.
  for (;;) {
    // A cancellation that came between two waits ends the receive here.
    if ((co_await asio::this_coro::cancellation_state).cancelled() != asio::cancellation_type::none)
      co_return ReceiveResult{-1, asio::error::operation_aborted};
    std::array<std::size_t, 2> order{};
    std::error_code ec, timerError;
    if (IsDatagram(m_kind)) {
      std::tie(order, ec, timerError) =
          co_await make_parallel_group(m_udp.async_wait(asio::socket_base::wait_read, asio::experimental::deferred),
                                       timer.async_wait(asio::experimental::deferred))
              .async_wait(wait_for_one(), asio::use_awaitable);
    } else {
      std::tie(order, ec, timerError) =
          co_await make_parallel_group(m_tcp.async_wait(asio::socket_base::wait_read, asio::experimental::deferred),
                                       timer.async_wait(asio::experimental::deferred))
              .async_wait(wait_for_one(), asio::use_awaitable);
    }
    // What arrived before the deadline or an error is judged as it is. A timer that did not
    // expire was cancelled with the request.
    if (order[0] == 1) co_return received ? ReceiveResult{static_cast<std::int64_t>(received), {}, arrived}
                                          : ReceiveResult{-1, timerError ? timerError : kTimedOut, {}};
    if (!ec) {
      const auto buffer = asio::buffer(area.data() + received, area.size() - received);
      received += IsDatagram(m_kind) ? ReceiveStamped(m_udp, buffer, arrived, ec) : m_tcp.receive(buffer, 0, ec);
    }
    if (ec == asio::error::would_block || ec == asio::error::try_again) continue;  // woken for nothing
    if (received > 0 && (ec || IsComplete(area.first(received))))
      co_return ReceiveResult{static_cast<std::int64_t>(received), {}, arrived};
    if (ec == asio::error::eof) co_return ReceiveResult{0, {}, {}};
    if (ec) co_return ReceiveResult{-1, ec, {}};
  }
}

bool TimeConnection::IsComplete(std::span<const std::uint8_t> received) const {
  // A datagram is the whole answer; over TCP an answer may come in pieces.
  if (IsDatagram(m_kind) || received.size() == kAnswerSize) return true;
  if (m_kind == ClientKind::TimeTcp) return received.size() >= 4;
  return std::find(received.begin(), received.end(), '\n') != received.end();
}

void TimeConnection::Close() {
  std::error_code ignored;
  m_tcp.close(ignored);
  m_udp.close(ignored);
}

}  // namespace horavex
