// xinetd's internal Time and Daytime services over TCP and UDP on 127.0.0.1, started for one test.
// Its Daytime text looks like "06 DEC 2026 17:33:22 UTC\r\n".
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "support/peer_process.h"
#include "support/temp_dir.h"

namespace horavex::testing {

struct XinetdOptions {
  // Lifts xinetd's limit of connections per second on the TCP services (for load tests).
  bool unlimitedTcpRate = false;
};

class XinetdPeer {
 public:
  // Starts xinetd with the four services on two free ports (Time, Daytime; each TCP and UDP) and
  // waits until all four answer. nullptr, with `error` set, when xinetd is missing or not ready
  // within `bound`.
  static std::unique_ptr<XinetdPeer> Start(std::string& error, XinetdOptions options = {},
                                           std::chrono::milliseconds bound = std::chrono::seconds{5});

  // The port of the Time service, TCP and UDP.
  std::uint16_t TimePort() const { return timePort_; }
  // The port of the Daytime service, TCP and UDP.
  std::uint16_t DaytimePort() const { return daytimePort_; }
  // Its process id.
  pid_t Pid() const { return process_->Pid(); }
  // What xinetd wrote to its output and its own log so far.
  std::string Log() const;

 private:
  XinetdPeer() = default;
  bool TryStart(const XinetdOptions& options, std::chrono::milliseconds bound, std::string& error);
  bool Ready();

  TempDir dir_;  // outlives the process: it holds the process's files
  std::unique_ptr<PeerProcess> process_;
  std::uint16_t timePort_ = 0;
  std::uint16_t daytimePort_ = 0;
};

}  // namespace horavex::testing
