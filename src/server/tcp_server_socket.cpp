#include "server/tcp_server_socket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace horavex {
namespace {

// accept(2): errors of the waiting connection itself, to be passed over like an empty queue.
bool IsConnectionError(int error) {
  switch (error) {
    case EINTR:
    case ECONNABORTED:
    case EPROTO:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
    case EPERM:  // refused by a firewall rule
      return true;
    default:
      return false;
  }
}

}  // namespace

void SendAnswerAndClose(int fd, std::span<const std::uint8_t> answer) {
  if (!answer.empty()) ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  // Linux answers a close with unread data by a reset instead of the end of the connection, and
  // the reset can cost the client its answer. MSG_TRUNC discards without copying.
  char scratch[2048];
  for (int i = 0; i < 4 && ::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT | MSG_TRUNC) > 0; ++i) {
  }
  ::close(fd);
}

TcpServerSocket::TcpServerSocket(ServerKind kind, const Executors& executors, Clock& clock, Reports reports)
    : TimeServerSocket(kind, executors, clock, std::move(reports)),
      m_acceptor(executors.io),
      m_pauseTimer(executors.io) {}

std::error_code TcpServerSocket::Bind(const std::optional<asio::ip::address>& address, std::uint16_t port) {
  std::error_code ec;
  const BoundSocket bound = OpenBound(SOCK_STREAM, address, port, ec);
  if (ec) return ec;
  m_acceptor.assign(bound.family == AF_INET6 ? asio::ip::tcp::v6() : asio::ip::tcp::v4(), bound.fd, ec);
  if (!ec) m_acceptor.non_blocking(true, ec);
  if (ec) {
    std::error_code ignored;
    if (m_acceptor.is_open()) m_acceptor.close(ignored);
    else ::close(bound.fd);
    return ec;
  }
  m_localPort = bound.port;
  return ec;
}

std::error_code TcpServerSocket::Listen() {
  std::error_code ec;
  m_acceptor.listen(asio::socket_base::max_listen_connections, ec);
  m_listening = !ec;
  return ec;
}

void TcpServerSocket::WaitReady() {
  if (!m_listening) return;
  m_acceptor.async_wait(asio::socket_base::wait_read, [self = std::static_pointer_cast<TcpServerSocket>(
                                                          shared_from_this())](const std::error_code& ec) {
    self->OnReadable(ec);
  });
}

void TcpServerSocket::CloseHandle() {
  std::error_code ignored;
  m_acceptor.close(ignored);
  m_pauseTimer.cancel();
}

void TcpServerSocket::OnReadable(const std::error_code& ec) {
  std::lock_guard lock(m_mutex);
  if (m_closed || ec == asio::error::operation_aborted) return;
  const BatchEnd end = ec ? BatchEnd::Failed : AcceptBatch();
  if (ec) ReportAcceptFailure(ec.value());
  ReportSoon();
  if (end == BatchEnd::Failed) PauseAccepting();
  else WaitReady();
}

TcpServerSocket::BatchEnd TcpServerSocket::AcceptBatch() {
  // While connections come one at a time, one is taken and the wait re-armed at once, which
  // reports a connection still waiting: that saves an accept per connection that would only say
  // "nothing more". Once in a while, and while several are found waiting, the queue is emptied.
  const bool drain = m_backlogged || ++m_readinessCount % kDrainEvery == 0;
  const int limit = drain ? kBatch : 1;
  int accepted = 0;
  BatchEnd end = BatchEnd::Full;
  for (int i = 0; i < limit && end == BatchEnd::Full; ++i) {
    PeerName peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(m_acceptor.native_handle(), &peer.any, &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      ++accepted;
      Answered(RequestTransport::Tcp, RequesterOf(&peer.any, length).value_or(Requester{}));
      SendAnswerAndClose(fd, AnswerNow());
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      end = BatchEnd::Drained;
    } else if (!IsConnectionError(errno)) {
      ReportAcceptFailure(errno);
      end = BatchEnd::Failed;
    }
  }
  if (drain) m_backlogged = accepted > 1;
  return end;
}

void TcpServerSocket::PauseAccepting() {
  m_pauseTimer.expires_after(kAcceptPause);
  m_pauseTimer.async_wait(
      [self = std::static_pointer_cast<TcpServerSocket>(shared_from_this())](const std::error_code& ec) {
        std::lock_guard lock(self->m_mutex);
        if (!self->m_closed && !ec) self->WaitReady();
      });
}

}  // namespace horavex
