// A UDP time server: every request datagram gets one answer datagram to the sender's address and
// port, unless it comes from a service that would answer back or is itself an answer (see
// reflection_guard.h).
#pragma once

#include <sys/socket.h>

#include <array>

#include <asio/ip/udp.hpp>

#include "server/server_socket.h"

namespace horavex {

class UdpServerSocket final : public TimeServerSocket {
 public:
  // A datagram is taken in up to this many bytes; the rest is cut off (it is never looked at).
  static constexpr std::size_t kDatagramMax = 80;
  // Datagrams taken and answered per system call.
  static constexpr int kBatch = 32;
  // Batches per readiness, so that other work gets its turn.
  static constexpr int kRounds = 4;

  UdpServerSocket(ServerKind kind, const Executors& executors, Clock& clock, Reports reports);
  ~UdpServerSocket() override;
  // Opens the socket and binds it to `endpoint`.
  std::error_code Bind(const asio::ip::udp::endpoint& endpoint);

 private:
  void WaitReady() override;
  void CloseHandle() override;
  // Datagrams are waiting: take and answer them in a few batches, then wait again.
  void OnReadable(const std::error_code& ec);
  // Takes and answers one batch; false when the socket holds nothing more for now.
  bool AnswerBatch();
  // Fills outMsg_ for the received datagrams that get an answer, counts and logs them; how many.
  unsigned PrepareAnswers(unsigned received, std::span<const std::uint8_t> answer);
  // Sends the first `count` answers of outMsg_.
  void SendAnswers(unsigned count);

  asio::ip::udp::socket socket_;
  bool guarded_ = false;  // localPort_ is in OwnUdpPorts
  std::array<std::array<std::uint8_t, kDatagramMax>, kBatch> inData_{};
  std::array<sockaddr_in, kBatch> inPeer_{};
  std::array<iovec, kBatch> inIov_{};
  std::array<mmsghdr, kBatch> inMsg_{};
  std::array<mmsghdr, kBatch> outMsg_{};
  iovec outIov_{};
};

}  // namespace horavex
