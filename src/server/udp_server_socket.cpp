#include "server/udp_server_socket.h"

#include <cerrno>

#include "server/reflection_guard.h"

namespace horavex {

UdpServerSocket::UdpServerSocket(ServerKind kind, const Executors& executors, Clock& clock, Reports reports)
    : TimeServerSocket(kind, executors, clock, std::move(reports)), socket_(executors.io) {
  for (int i = 0; i < kBatch; ++i) {
    inIov_[i] = {inData_[i].data(), inData_[i].size()};
    inMsg_[i].msg_hdr.msg_name = &inPeer_[i];
    inMsg_[i].msg_hdr.msg_iov = &inIov_[i];
    inMsg_[i].msg_hdr.msg_iovlen = 1;
  }
}

UdpServerSocket::~UdpServerSocket() {
  if (guarded_) OwnUdpPorts::Remove(localPort_);
}

std::error_code UdpServerSocket::Bind(const asio::ip::udp::endpoint& endpoint) {
  // No SO_REUSEADDR: on UDP it would let a second server take the same port.
  std::error_code ec;
  socket_.open(endpoint.protocol(), ec);
  if (!ec) socket_.bind(endpoint, ec);
  if (!ec) socket_.non_blocking(true, ec);
  if (!ec) localPort_ = socket_.local_endpoint(ec).port();
  if (ec) {
    std::error_code ignored;
    socket_.close(ignored);
    return ec;
  }
  guarded_ = OwnUdpPorts::Add(localPort_);
  return ec;
}

void UdpServerSocket::WaitReady() {
  socket_.async_wait(asio::socket_base::wait_read,
                     [self = std::static_pointer_cast<UdpServerSocket>(shared_from_this())](
                         const std::error_code& ec) { self->OnReadable(ec); });
}

void UdpServerSocket::CloseHandle() {
  std::error_code ignored;
  socket_.close(ignored);
  if (guarded_) OwnUdpPorts::Remove(localPort_);
  guarded_ = false;
}

void UdpServerSocket::OnReadable(const std::error_code& ec) {
  std::lock_guard lock(mutex_);
  if (closed_ || ec == asio::error::operation_aborted) return;
  for (int round = 0; round < kRounds && AnswerBatch(); ++round) {
  }
  ReportSoon();
  // Also after a full batch: the wait re-arms at once when datagrams are still waiting.
  WaitReady();
}

bool UdpServerSocket::AnswerBatch() {
  for (auto& m : inMsg_) m.msg_hdr.msg_namelen = sizeof(sockaddr_in);
  const int received = ::recvmmsg(socket_.native_handle(), inMsg_.data(), kBatch, MSG_DONTWAIT, nullptr);
  if (received < 0) {
    // A failed receive (an ICMP error surfacing, a lack of memory) costs only that datagram:
    // no answer, no count; the next ones are still taken.
    return errno != EAGAIN && errno != EWOULDBLOCK;
  }
  SendAnswers(PrepareAnswers(static_cast<unsigned>(received), AnswerNow()));
  return received == kBatch;
}

unsigned UdpServerSocket::PrepareAnswers(unsigned received, std::span<const std::uint8_t> answer) {
  outIov_ = {const_cast<std::uint8_t*>(answer.data()), answer.size()};
  unsigned count = 0;
  for (unsigned i = 0; i < received; ++i) {
    const sockaddr_in& peer = inPeer_[i];
    if (inMsg_[i].msg_hdr.msg_namelen != sizeof peer || peer.sin_family != AF_INET) continue;
    const std::span<const std::uint8_t> datagram(inData_[i].data(), inMsg_[i].msg_len);
    if (MustNotAnswer(ntohs(peer.sin_port), datagram, (inMsg_[i].msg_hdr.msg_flags & MSG_TRUNC) != 0)) continue;
    Answered(RequestTransport::Udp, peer);
    msghdr& h = outMsg_[count++].msg_hdr;
    h.msg_name = const_cast<sockaddr_in*>(&peer);
    h.msg_namelen = sizeof peer;
    h.msg_iov = &outIov_;
    h.msg_iovlen = 1;
  }
  return count;
}

void UdpServerSocket::SendAnswers(unsigned count) {
  const int fd = socket_.native_handle();
  for (unsigned sent = 0; sent < count;) {
    const int n = ::sendmmsg(fd, &outMsg_[sent], count - sent, MSG_DONTWAIT);
    // An answer that cannot be sent stays counted, as it always was; the rest still go out.
    sent += n > 0 ? static_cast<unsigned>(n) : 1;
  }
}

}  // namespace horavex
