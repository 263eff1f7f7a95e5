#include "server/server_socket.h"

#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>

#include <asio/ip/udp.hpp>
#include <asio/post.hpp>

#include "platform/clock.h"
#include "server/tcp_server_socket.h"
#include "server/udp_server_socket.h"

namespace horavex {
namespace {

// A socket of `family` bound to `endpoint`; -1 with `error` set when it failed. `v6only` is set
// on an IPv6 socket: a system may default to either.
int BindOne(int family, int type, const asio::ip::udp::endpoint& endpoint, int v6only, int& error) {
  const int fd = ::socket(family, type | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  const int on = 1;
  // Without it a TCP restart after a served request fails for a minute on the closed
  // connections' TIME_WAIT; Linux still refuses a second listener. On UDP it would let a second
  // server take the same port.
  bool ok = type != SOCK_STREAM || ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
  if (ok && family == AF_INET6) ok = ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, sizeof v6only) == 0;
  if (ok) ok = ::bind(fd, endpoint.data(), static_cast<socklen_t>(endpoint.size())) == 0;
  if (ok) return fd;
  error = errno;
  ::close(fd);
  return -1;
}

}  // namespace

BoundSocket OpenBound(int type, const std::optional<asio::ip::address>& address, std::uint16_t port,
                      std::error_code& ec) {
  BoundSocket bound;
  int error = 0;
  if (address) {
    bound.family = address->is_v6() ? AF_INET6 : AF_INET;
    bound.fd = BindOne(bound.family, type, {*address, port}, 1, error);
  } else {
    bound.family = AF_INET6;
    bound.fd = BindOne(AF_INET6, type, {asio::ip::address_v6::any(), port}, 0, error);
    // A system without IPv6 serves IPv4 alone, and says nothing of it.
    if (bound.fd < 0 && (error == EAFNOSUPPORT || error == EADDRNOTAVAIL)) {
      bound.family = AF_INET;
      bound.fd = BindOne(AF_INET, type, {asio::ip::address_v4::any(), port}, 0, error);
    }
  }
  PeerName local{};
  socklen_t length = sizeof local;
  if (bound.fd >= 0 && ::getsockname(bound.fd, &local.any, &length) == 0) {
    bound.port = ntohs(local.v4.sin_port);  // at the same place in both families
    ec.clear();
    return bound;
  }
  if (bound.fd >= 0) error = errno, ::close(bound.fd);
  ec.assign(error, std::system_category());
  return {};
}

std::shared_ptr<TimeServerSocket> TimeServerSocket::Open(ServerKind kind, const Executors& executors, Clock& clock,
                                                         const std::optional<asio::ip::address>& address,
                                                         std::uint16_t port, Reports reports, OpenErrors& errors) {
  errors = {};
  if (IsDatagram(kind)) {
    auto socket = std::make_shared<UdpServerSocket>(kind, executors, clock, std::move(reports));
    errors.create = socket->Bind(address, port);
    if (!errors.create) errors.create = socket->StartThread();
    if (errors.create) return nullptr;
    return socket;
  }
  auto socket = std::make_shared<TcpServerSocket>(kind, executors, clock, std::move(reports));
  errors.create = socket->Bind(address, port);
  if (errors.create) return nullptr;
  errors.listen = socket->Listen();
  return socket;
}

TimeServerSocket::TimeServerSocket(ServerKind kind, const Executors& executors, Clock& clock, Reports reports)
    : m_io(executors.io),
      m_logic(executors.logic),
      m_clock(clock),
      m_reports(std::make_shared<const Reports>(std::move(reports))),
      m_answers(kind),
      m_lastReport(std::chrono::steady_clock::now() - kReportInterval),
      m_reportTimer(executors.io) {}

void TimeServerSocket::Start() {
  asio::post(m_io, [self = shared_from_this()] {
    std::lock_guard lock(self->m_mutex);
    if (!self->m_closed) self->WaitReady();
  });
}

void TimeServerSocket::Close() {
  {
    std::lock_guard lock(m_mutex);
    if (m_closed) return;
    m_closed = true;
    CloseHandle();
    m_reportTimer.cancel();
  }
  Release();
}

void TimeServerSocket::Answered(RequestTransport transport, const Requester& requester) {
  m_log.Add(transport, requester);
  ++m_requests;
  m_unreported = true;
}

void TimeServerSocket::ReportSoon() {
  if (!m_unreported || m_reportTimerArmed) return;
  const auto due = m_lastReport + kReportInterval;
  if (std::chrono::steady_clock::now() >= due) {
    PostRequests();
    return;
  }
  m_reportTimerArmed = true;
  m_reportTimer.expires_at(due);
  m_reportTimer.async_wait([self = shared_from_this()](const std::error_code& ec) { self->OnReportTimer(ec); });
}

void TimeServerSocket::OnReportTimer(const std::error_code& ec) {
  std::lock_guard lock(m_mutex);
  m_reportTimerArmed = false;
  if (m_closed || ec) return;
  if (m_unreported) PostRequests();
}

void TimeServerSocket::PostRequests() {
  m_unreported = false;
  m_lastReport = std::chrono::steady_clock::now();
  asio::post(m_logic, [reports = m_reports, count = m_requests, log = m_log.Text()] {
    if (reports->requests) reports->requests(count, log);
  });
}

void TimeServerSocket::ReportAcceptFailure(int errorCode) {
  // The requests before the failure are shown first, so that the message stays until the next one.
  if (m_unreported) PostRequests();
  const auto now = std::chrono::steady_clock::now();
  if (m_lastFailureReport && now - *m_lastFailureReport < kFailureReportInterval) return;
  m_lastFailureReport = now;
  asio::post(m_logic, [reports = m_reports, errorCode] {
    if (reports->acceptFailed) reports->acceptFailed(errorCode);
  });
}

std::span<const std::uint8_t> TimeServerSocket::AnswerNow() { return m_answers.At(m_clock.Time()); }

}  // namespace horavex
