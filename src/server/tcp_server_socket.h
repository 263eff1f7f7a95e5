// A TCP time server: every accepted connection gets the answer at once and is closed; nothing
// is read from it.
#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>

#include "server/server_socket.h"

namespace horavex {

class TcpServerSocket final : public TimeServerSocket {
 public:
  // Accepting pauses this long when it fails for want of resources (descriptors, memory), since
  // the connection then stays waiting and would make the next accept fail at once.
  static constexpr std::chrono::milliseconds kAcceptPause{100};
  // At most this many connections are taken per readiness, so that other work gets its turn.
  static constexpr int kBatch = 64;
  // While connections come one at a time, every this many readinesses the queue is still emptied.
  static constexpr unsigned kDrainEvery = 8;

  TcpServerSocket(ServerKind kind, const Executors& executors, Clock& clock, Reports reports);
  // Opens the socket and binds it to address:port (see OpenBound).
  std::error_code Bind(const std::optional<asio::ip::address>& address, std::uint16_t port);
  // Starts listening.
  std::error_code Listen();

 private:
  enum class BatchEnd { Drained, Full, Failed };

  void WaitReady() override;
  void CloseHandle() override;
  // A connection is waiting (or the wait failed): take, answer and close connections.
  void OnReadable(const std::error_code& ec);
  // Takes waiting connections, answers and closes each; how the batch ended.
  BatchEnd AcceptBatch();
  // Waits kAcceptPause before waiting for connections again.
  void PauseAccepting();

  asio::ip::tcp::acceptor m_acceptor;
  asio::steady_timer m_pauseTimer;
  bool m_listening = false;
  bool m_backlogged = true;        // the last emptying found more than one connection waiting
  unsigned m_readinessCount = 0;
};

// Sends `answer` once on the accepted connection `fd` and closes it, never waiting; the send's
// result is not looked at. What the client has sent is thrown away first, so that the close ends
// the connection cleanly instead of resetting it.
void SendAnswerAndClose(int fd, std::span<const std::uint8_t> answer);

}  // namespace horavex
