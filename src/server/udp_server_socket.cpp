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
    m_inIov[i] = {m_inData[i].data(), m_inData[i].size()};
    m_inMsg[i].msg_hdr.msg_name = &m_inPeer[i];
    m_inMsg[i].msg_hdr.msg_iov = &m_inIov[i];
    m_inMsg[i].msg_hdr.msg_iovlen = 1;
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
  m_fd = bound.fd;
  m_localPort = bound.port;
  m_guarded = OwnUdpPorts::Add(m_localPort);
  // Bound to one address, the answers leave from it anyway.
  if (!address || address->is_unspecified()) {
    const int on = 1;
    m_replyFromDestination = bound.family == AF_INET6
                                ? ::setsockopt(m_fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, &on, sizeof on) == 0
                                : ::setsockopt(m_fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) == 0;
  }
  return ec;
}

std::error_code UdpServerSocket::StartThread() {
  try {
    m_thread = std::thread([this] { Serve(); });
  } catch (const std::system_error& e) {
    Release();
    return e.code();
  }
  m_work = asio::prefer(Io(), asio::execution::outstanding_work.tracked);
  return {};
}

// The thread waits from the start.
void UdpServerSocket::WaitReady() {}

void UdpServerSocket::CloseHandle() {
  // Wakes the thread from its receive; the port is freed once it has ended (Release).
  if (m_fd >= 0) ::shutdown(m_fd, SHUT_RDWR);
}

void UdpServerSocket::Release() {
  if (m_thread.joinable()) m_thread.join();
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  if (m_guarded) OwnUdpPorts::Remove(m_localPort);
  m_guarded = false;
  m_work = {};
}

void UdpServerSocket::Serve() {
  for (;;) {
    const int received = Receive();
    std::lock_guard lock(m_mutex);
    if (m_closed) return;
    // A failed receive (an ICMP error surfacing, a lack of memory) costs only that datagram.
    if (received > 0) SendAnswers(PrepareAnswers(static_cast<unsigned>(received), AnswerNow()));
    ReportSoon();
  }
}

int UdpServerSocket::Receive() {
  const bool batch = m_backlogged || ++m_receiveCount % kBatchEvery == 0;
  for (int i = 0; i < (batch ? kBatch : 1); ++i) {
    msghdr& h = m_inMsg[i].msg_hdr;
    h.msg_namelen = sizeof(PeerName);
    h.msg_control = m_replyFromDestination ? &m_inControl[i] : nullptr;
    h.msg_controllen = m_replyFromDestination ? sizeof(Control) : 0;
  }
  // A receive for one costs less than a batch that finds only one: with a request or two in
  // flight, that is every batch.
  if (!batch) {
    const ssize_t n = ::recvmsg(m_fd, &m_inMsg[0].msg_hdr, 0);
    m_inMsg[0].msg_len = static_cast<unsigned>(n);
    return n < 0 ? -1 : 1;
  }
  // Waits for the first datagram only, then takes what else is already there.
  const int received = ::recvmmsg(m_fd, m_inMsg.data(), kBatch, MSG_WAITFORONE, nullptr);
  m_backlogged = received > 1;
  return received;
}

unsigned UdpServerSocket::PrepareAnswers(unsigned received, std::span<const std::uint8_t> answer) {
  m_outIov = {const_cast<std::uint8_t*>(answer.data()), answer.size()};
  unsigned count = 0;
  for (unsigned i = 0; i < received; ++i) {
    const msghdr& in = m_inMsg[i].msg_hdr;
    const std::optional<Requester> requester = RequesterOf(&m_inPeer[i].any, in.msg_namelen);
    if (!requester) continue;
    const std::span<const std::uint8_t> datagram(m_inData[i].data(), m_inMsg[i].msg_len);
    if (MustNotAnswer(requester->port, datagram, (in.msg_flags & MSG_TRUNC) != 0)) continue;
    Answered(RequestTransport::Udp, *requester);
    msghdr& h = m_outMsg[count++].msg_hdr;
    h.msg_name = &m_inPeer[i];
    h.msg_namelen = in.msg_namelen;
    h.msg_iov = &m_outIov;
    h.msg_iovlen = 1;
    const bool fromDestination = m_replyFromDestination && AnswerFromDestination(m_inMsg[i].msg_hdr);
    h.msg_control = fromDestination ? in.msg_control : nullptr;
    h.msg_controllen = fromDestination ? in.msg_controllen : 0;
  }
  return count;
}

void UdpServerSocket::SendAnswers(unsigned count) {
  if (count == 1) {
    ::sendmsg(m_fd, &m_outMsg[0].msg_hdr, MSG_DONTWAIT);
    return;
  }
  for (unsigned sent = 0; sent < count;) {
    const int n = ::sendmmsg(m_fd, &m_outMsg[sent], count - sent, MSG_DONTWAIT);
    // An answer that cannot be sent stays counted, as it always was; the rest still go out.
    sent += n > 0 ? static_cast<unsigned>(n) : 1;
  }
}

}  // namespace horavex
