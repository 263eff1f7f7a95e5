// The socket a running server owns. It lives on the io executor: it answers every request, counts
// it (m_requests) and logs it (m_log), and hands count and log to the logic side at most a few
// times a second, so that a flood of requests cannot flood the window and a busy window cannot
// stop the answers.
//
// Every member below the public interface is guarded by m_mutex: the io side holds it while it
// handles a batch of requests, the logic side only to close. That lets Close free the port at
// once, so that a restart on the same port works, while the io side may be on another thread.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <system_error>

#include <asio/ip/address.hpp>
#include <asio/steady_timer.hpp>

#include "common/executors.h"
#include "protocol/kinds.h"
#include "server/answer_cache.h"
#include "server/request_log.h"

namespace horavex {

class Clock;

// Room for a requester's address of either family.
union PeerName {
  sockaddr any;
  sockaddr_in v4;
  sockaddr_in6 v6;
};

// A socket bound for a server.
struct BoundSocket {
  int fd = -1;
  int family = AF_UNSPEC;
  std::uint16_t port = 0;  // the port it is bound to
};

// A close-on-exec socket of `type` (SOCK_DGRAM, SOCK_STREAM with SO_REUSEADDR) bound to
// address:port. Without an address: one IPv6 socket that takes IPv4 too, or IPv4 alone on a
// system without IPv6; an IPv4 address binds IPv4 only, an IPv6 address IPv6 only. On failure fd
// is -1 and `ec` says why.
BoundSocket OpenBound(int type, const std::optional<asio::ip::address>& address, std::uint16_t port,
                      std::error_code& ec);

class TimeServerSocket : public std::enable_shared_from_this<TimeServerSocket> {
 public:
  // What the socket tells the logic side, posted to the logic executor. Nothing is posted once
  // Close has returned; what was posted before may still arrive.
  struct Reports {
    std::function<void(std::uint32_t requests, const std::string& log)> requests;
    std::function<void(int errorCode)> acceptFailed;
  };
  struct OpenErrors {
    std::error_code create;  // the socket could not be made or bound: nothing is held
    std::error_code listen;  // a TCP socket is bound but does not listen, so it never answers
  };
  // Count and log reach the logic side at once for the first request, then at most this often.
  static constexpr std::chrono::milliseconds kReportInterval{200};
  // A failing accept is reported at most this often.
  static constexpr std::chrono::seconds kFailureReportInterval{1};

  // Makes and binds the socket of `kind` on address:port (see OpenBound), answering from `clock`
  // (which must outlive it), and for TCP listens. Nullptr when the socket could not be made or
  // bound (errors.create says why).
  static std::shared_ptr<TimeServerSocket> Open(ServerKind kind, const Executors& executors, Clock& clock,
                                                const std::optional<asio::ip::address>& address, std::uint16_t port,
                                                Reports reports, OpenErrors& errors);

  virtual ~TimeServerSocket() = default;
  TimeServerSocket(const TimeServerSocket&) = delete;
  TimeServerSocket& operator=(const TimeServerSocket&) = delete;

  // Starts answering on the io executor (a UDP socket answers on a thread of its own from Open
  // on). Call once, after Open.
  void Start();
  // Closes the socket; from any thread. When it returns the port is free and no further report
  // will be posted. The io context must still exist.
  void Close();
  // The port the socket is bound to.
  std::uint16_t LocalPort() const { return m_localPort; }

 protected:
  TimeServerSocket(ServerKind kind, const Executors& executors, Clock& clock, Reports reports);

  // Arms the wait for the next requests (mutex held).
  virtual void WaitReady() = 0;
  // Closes the transport's socket and cancels its timers (mutex held).
  virtual void CloseHandle() = 0;
  // After CloseHandle, with the mutex released: what must wait for the io side to let go.
  virtual void Release() {}

  // Counts one answered request and puts its requester in the log (mutex held).
  void Answered(RequestTransport transport, const Requester& requester);
  // After a batch: hands count and log on now, or arms the timer that will (mutex held).
  void ReportSoon();
  // Shows a failing accept, at most once per kFailureReportInterval (mutex held).
  void ReportAcceptFailure(int errorCode);
  // The answer to send now.
  std::span<const std::uint8_t> AnswerNow();
  const asio::any_io_executor& Io() const { return m_io; }

  std::mutex m_mutex;
  bool m_closed = false;
  std::uint16_t m_localPort = 0;

 private:
  // The report interval has passed: hand on what came since the last report.
  void OnReportTimer(const std::error_code& ec);
  // Posts count and log to the logic side now (mutex held).
  void PostRequests();

  asio::any_io_executor m_io;
  asio::any_io_executor m_logic;
  Clock& m_clock;
  std::shared_ptr<const Reports> m_reports;
  AnswerCache m_answers;
  std::uint32_t m_requests = 0;  // wraps after 2^32 requests, as an unsigned count does
  RequestLog m_log;
  bool m_unreported = false;
  bool m_reportTimerArmed = false;
  std::chrono::steady_clock::time_point m_lastReport;
  std::optional<std::chrono::steady_clock::time_point> m_lastFailureReport;
  asio::steady_timer m_reportTimer;
};

}  // namespace horavex
