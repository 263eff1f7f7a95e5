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
      acceptor_(executors.io),
      pauseTimer_(executors.io) {}

std::error_code TcpServerSocket::Bind(const std::optional<asio::ip::address>& address, std::uint16_t port) {
  std::error_code ec;
  const BoundSocket bound = OpenBound(SOCK_STREAM, address, port, ec);
  if (ec) return ec;
  acceptor_.assign(bound.family == AF_INET6 ? asio::ip::tcp::v6() : asio::ip::tcp::v4(), bound.fd, ec);
  if (!ec) acceptor_.non_blocking(true, ec);
  if (ec) {
    std::error_code ignored;
    if (acceptor_.is_open()) acceptor_.close(ignored);
    else ::close(bound.fd);
    return ec;
  }
  localPort_ = bound.port;
  return ec;
}

std::error_code TcpServerSocket::Listen() {
  std::error_code ec;
  acceptor_.listen(asio::socket_base::max_listen_connections, ec);
  listening_ = !ec;
  return ec;
}

void TcpServerSocket::WaitReady() {
  if (!listening_) return;
  acceptor_.async_wait(asio::socket_base::wait_read, [self = std::static_pointer_cast<TcpServerSocket>(
                                                          shared_from_this())](const std::error_code& ec) {
    self->OnReadable(ec);
  });
}

void TcpServerSocket::CloseHandle() {
  std::error_code ignored;
  acceptor_.close(ignored);
  pauseTimer_.cancel();
}

void TcpServerSocket::OnReadable(const std::error_code& ec) {
  std::lock_guard lock(mutex_);
  if (closed_ || ec == asio::error::operation_aborted) return;
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
  const bool drain = backlogged_ || ++readinessCount_ % kDrainEvery == 0;
  const int limit = drain ? kBatch : 1;
  int accepted = 0;
  BatchEnd end = BatchEnd::Full;
  for (int i = 0; i < limit && end == BatchEnd::Full; ++i) {
    PeerName peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(acceptor_.native_handle(), &peer.any, &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
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
  if (drain) backlogged_ = accepted > 1;
  return end;
}

void TcpServerSocket::PauseAccepting() {
  pauseTimer_.expires_after(kAcceptPause);
  pauseTimer_.async_wait(
      [self = std::static_pointer_cast<TcpServerSocket>(shared_from_this())](const std::error_code& ec) {
        std::lock_guard lock(self->mutex_);
        if (!self->closed_ && !ec) self->WaitReady();
      });
}

}  // namespace horavex
