#include "server/udp_server_socket.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

#include <asio/execution/outstanding_work.hpp>
#include <asio/prefer.hpp>

#include "server/reflection_guard.h"

namespace horavex {
namespace {

// Turns the destination of a received datagram (its pktinfo) into the source of its answer, on
// whichever interface the route takes; false when there is none.
bool AnswerFromDestination(msghdr& received) {
  if ((received.msg_flags & MSG_CTRUNC) != 0) return false;
  cmsghdr* c = CMSG_FIRSTHDR(&received);
  if (c == nullptr) return false;
  if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
    reinterpret_cast<in6_pktinfo*>(CMSG_DATA(c))->ipi6_ifindex = 0;
    return true;
  }
  if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
    reinterpret_cast<in_pktinfo*>(CMSG_DATA(c))->ipi_ifindex = 0;
    return true;
  }
  return false;
}

}  // namespace

UdpServerSocket::UdpServerSocket(ServerKind kind, const Executors& executors, Clock& clock, Reports reports)
    : TimeServerSocket(kind, executors, clock, std::move(reports)) {
  for (int i = 0; i < kBatch; ++i) {
    inIov_[i] = {inData_[i].data(), inData_[i].size()};
    inMsg_[i].msg_hdr.msg_name = &inPeer_[i];
    inMsg_[i].msg_hdr.msg_iov = &inIov_[i];
    inMsg_[i].msg_hdr.msg_iovlen = 1;
  }
}

UdpServerSocket::~UdpServerSocket() {
  Close();
}

std::error_code UdpServerSocket::Bind(const std::optional<asio::ip::address>& address, std::uint16_t port) {
  // Not through Asio: the io executor's reactor must not wake for the datagrams this thread takes.
  std::error_code ec;
  const BoundSocket bound = OpenBound(SOCK_DGRAM, address, port, ec);
  if (ec) return ec;
  fd_ = bound.fd;
  localPort_ = bound.port;
  guarded_ = OwnUdpPorts::Add(localPort_);
  // Bound to one address, the answers leave from it anyway.
  if (!address || address->is_unspecified()) {
    const int on = 1;
    replyFromDestination_ = bound.family == AF_INET6
                                ? ::setsockopt(fd_, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on) == 0
                                : ::setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) == 0;
  }
  return ec;
}

std::error_code UdpServerSocket::StartThread() {
  try {
    thread_ = std::thread([this] { Serve(); });
  } catch (const std::system_error& e) {
    Release();
    return e.code();
  }
  work_ = asio::prefer(Io(), asio::execution::outstanding_work.tracked);
  return {};
}

// The thread waits from the start.
void UdpServerSocket::WaitReady() {}

void UdpServerSocket::CloseHandle() {
  // Wakes the thread from its receive; the port is freed once it has ended (Release).
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

void UdpServerSocket::Release() {
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (guarded_) OwnUdpPorts::Remove(localPort_);
  guarded_ = false;
  work_ = {};
}

void UdpServerSocket::Serve() {
  for (;;) {
    const int received = Receive();
    std::lock_guard lock(mutex_);
    if (closed_) return;
    // A failed receive (an ICMP error surfacing, a lack of memory) costs only that datagram.
    if (received > 0) SendAnswers(PrepareAnswers(static_cast<unsigned>(received), AnswerNow()));
    ReportSoon();
  }
}

int UdpServerSocket::Receive() {
  const bool batch = backlogged_ || ++receiveCount_ % kBatchEvery == 0;
  for (int i = 0; i < (batch ? kBatch : 1); ++i) {
    msghdr& h = inMsg_[i].msg_hdr;
    h.msg_namelen = sizeof(PeerName);
    h.msg_control = replyFromDestination_ ? &inControl_[i] : nullptr;
    h.msg_controllen = replyFromDestination_ ? sizeof(Control) : 0;
  }
  // A receive for one costs less than a batch that finds only one: with a request or two in
  // flight, that is every batch.
  if (!batch) {
    const ssize_t n = ::recvmsg(fd_, &inMsg_[0].msg_hdr, 0);
    inMsg_[0].msg_len = static_cast<unsigned>(n);
    return n < 0 ? -1 : 1;
  }
  // Waits for the first datagram only, then takes what else is already there.
  const int received = ::recvmmsg(fd_, inMsg_.data(), kBatch, MSG_WAITFORONE, nullptr);
  backlogged_ = received > 1;
  return received;
}

unsigned UdpServerSocket::PrepareAnswers(unsigned received, std::span<const std::uint8_t> answer) {
  outIov_ = {const_cast<std::uint8_t*>(answer.data()), answer.size()};
  unsigned count = 0;
  for (unsigned i = 0; i < received; ++i) {
    const msghdr& in = inMsg_[i].msg_hdr;
    const std::optional<Requester> requester = RequesterOf(&inPeer_[i].any, in.msg_namelen);
    if (!requester) continue;
    const std::span<const std::uint8_t> datagram(inData_[i].data(), inMsg_[i].msg_len);
    if (MustNotAnswer(requester->port, datagram, (in.msg_flags & MSG_TRUNC) != 0)) continue;
    Answered(RequestTransport::Udp, *requester);
    msghdr& h = outMsg_[count++].msg_hdr;
    h.msg_name = &inPeer_[i];
    h.msg_namelen = in.msg_namelen;
    h.msg_iov = &outIov_;
    h.msg_iovlen = 1;
    const bool fromDestination = replyFromDestination_ && AnswerFromDestination(inMsg_[i].msg_hdr);
    h.msg_control = fromDestination ? in.msg_control : nullptr;
    h.msg_controllen = fromDestination ? in.msg_controllen : 0;
  }
  return count;
}

void UdpServerSocket::SendAnswers(unsigned count) {
  if (count == 1) {
    ::sendmsg(fd_, &outMsg_[0].msg_hdr, MSG_DONTWAIT);
    return;
  }
  for (unsigned sent = 0; sent < count;) {
    const int n = ::sendmmsg(fd_, &outMsg_[sent], count - sent, MSG_DONTWAIT);
    // An answer that cannot be sent stays counted, as it always was; the rest still go out.
    sent += n > 0 ? static_cast<unsigned>(n) : 1;
  }
}

}  // namespace horavex
