#include "server/server_socket.h"

#include <arpa/inet.h>

#include <array>
#include <cstring>

#include <asio/post.hpp>

#include "platform/clock.h"
#include "server/tcp_server_socket.h"
#include "server/udp_server_socket.h"

namespace horavex {

std::shared_ptr<TimeServerSocket> TimeServerSocket::Open(ServerKind kind, const Executors& executors, Clock& clock,
                                                         const asio::ip::address_v4& address, std::uint16_t port,
                                                         Reports reports, OpenErrors& errors) {
  errors = {};
  if (IsDatagram(kind)) {
    auto socket = std::make_shared<UdpServerSocket>(kind, executors, clock, std::move(reports));
    errors.create = socket->Bind({address, port});
    if (errors.create) return nullptr;
    return socket;
  }
  auto socket = std::make_shared<TcpServerSocket>(kind, executors, clock, std::move(reports));
  errors.create = socket->Bind({address, port});
  if (errors.create) return nullptr;
  errors.listen = socket->Listen();
  return socket;
}

TimeServerSocket::TimeServerSocket(ServerKind kind, const Executors& executors, Clock& clock, Reports reports)
    : io_(executors.io),
      logic_(executors.logic),
      clock_(clock),
      reports_(std::make_shared<const Reports>(std::move(reports))),
      answers_(kind),
      lastReport_(std::chrono::steady_clock::now() - kReportInterval),
      reportTimer_(executors.io) {}

void TimeServerSocket::Start() {
  asio::post(io_, [self = shared_from_this()] {
    std::lock_guard lock(self->mutex_);
    if (!self->closed_) self->WaitReady();
  });
}

void TimeServerSocket::Close() {
  std::lock_guard lock(mutex_);
  if (closed_) return;
  closed_ = true;
  CloseHandle();
  reportTimer_.cancel();
}

void TimeServerSocket::Answered(RequestTransport transport, const sockaddr_in& peer) {
  std::array<std::uint8_t, 4> address;
  std::memcpy(address.data(), &peer.sin_addr, address.size());
  m_strLog.Add(transport, address, ntohs(peer.sin_port));
  ++m_nRequests;
  unreported_ = true;
}

void TimeServerSocket::ReportSoon() {
  if (!unreported_ || reportTimerArmed_) return;
  const auto due = lastReport_ + kReportInterval;
  if (std::chrono::steady_clock::now() >= due) {
    PostRequests();
    return;
  }
  reportTimerArmed_ = true;
  reportTimer_.expires_at(due);
  reportTimer_.async_wait([self = shared_from_this()](const std::error_code& ec) { self->OnReportTimer(ec); });
}

void TimeServerSocket::OnReportTimer(const std::error_code& ec) {
  std::lock_guard lock(mutex_);
  reportTimerArmed_ = false;
  if (closed_ || ec) return;
  if (unreported_) PostRequests();
}

void TimeServerSocket::PostRequests() {
  unreported_ = false;
  lastReport_ = std::chrono::steady_clock::now();
  asio::post(logic_, [reports = reports_, count = m_nRequests, log = m_strLog.Text()] {
    if (reports->requests) reports->requests(count, log);
  });
}

void TimeServerSocket::ReportAcceptFailure(int errorCode) {
  // The requests before the failure are shown first, so that the message stays until the next one.
  if (unreported_) PostRequests();
  const auto now = std::chrono::steady_clock::now();
  if (lastFailureReport_ && now - *lastFailureReport_ < kFailureReportInterval) return;
  lastFailureReport_ = now;
  asio::post(logic_, [reports = reports_, errorCode] {
    if (reports->acceptFailed) reports->acceptFailed(errorCode);
  });
}

std::span<const std::uint8_t> TimeServerSocket::AnswerNow() { return answers_.At(clock_.Time()); }

}  // namespace horavex
