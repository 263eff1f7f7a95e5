// A UDP time server: every request datagram gets one answer datagram to the sender's address and
// port, unless it comes from a service that would answer back or is itself an answer (see
// reflection_guard.h). On all addresses, each answer leaves from the address its request was sent
// to: a client that connected its socket takes answers from that address only, and the system
// would otherwise pick the source (with IPv6 often another address of the same machine).
//
// It answers on a thread of its own that waits in the receive itself, as a blocking server does:
// a wait through the io executor's reactor costs a wake-up and a re-arm of the wait on top of the
// receive and the send, which at a few requests in flight doubled the system calls per answer.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <thread>

#include "server/server_socket.h"

namespace horavex {

class UdpServerSocket final : public TimeServerSocket {
 public:
  // A datagram is taken in up to this many bytes; the rest is cut off (it is never looked at).
  static constexpr std::size_t kDatagramMax = 80;
  // Datagrams taken and answered per system call at most.
  static constexpr int kBatch = 32;
  // While datagrams come one at a time, every this many receives still asks for a batch.
  static constexpr unsigned kBatchEvery = 8;

  UdpServerSocket(ServerKind kind, const Executors& executors, Clock& clock, Reports reports);
  // Ends the thread if Close has not.
  ~UdpServerSocket() override;
  // Opens the socket and binds it to address:port (see OpenBound).
  std::error_code Bind(const std::optional<asio::ip::address>& address, std::uint16_t port);
  // Starts the thread that answers; after Bind. On failure the socket is closed again.
  std::error_code StartThread();

 private:
  // Room for the address a datagram was sent to (IP_PKTINFO, IPV6_PKTINFO).
  struct alignas(cmsghdr) Control {
    std::array<unsigned char, CMSG_SPACE(sizeof(in6_pktinfo))> bytes;
  };

  void WaitReady() override;
  void CloseHandle() override;
  void Release() override;
  // The thread: waits for datagrams and answers them, batch after batch, until closed.
  void Serve();
  // Waits for the next datagram and takes it, with those already waiting behind it when they came
  // in batches of late; how many, or -1.
  int Receive();
  // Fills m_outMsg for the received datagrams that get an answer, counts and logs them; how many.
  unsigned PrepareAnswers(unsigned received, std::span<const std::uint8_t> answer);
  // Sends the first `count` answers of m_outMsg.
  void SendAnswers(unsigned count);

  int m_fd = -1;
  bool m_replyFromDestination = false;  // bound to all addresses: the pktinfo of each request is kept
  // Keeps the io context running while the thread serves, as a wait on it would.
  asio::any_io_executor m_work;
  bool m_guarded = false;  // m_localPort is in OwnUdpPorts
  std::thread m_thread;
  bool m_backlogged = true;  // the last batch found more than one datagram
  unsigned m_receiveCount = 0;
  std::array<std::array<std::uint8_t, kDatagramMax>, kBatch> m_inData{};
  std::array<PeerName, kBatch> m_inPeer{};
  std::array<Control, kBatch> m_inControl{};
  std::array<iovec, kBatch> m_inIov{};
  std::array<mmsghdr, kBatch> m_inMsg{};
  std::array<mmsghdr, kBatch> m_outMsg{};
  iovec m_outIov{};
};

}  // namespace horavex
