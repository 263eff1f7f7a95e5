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
  bool unlimitedTcpRate = false;  // lifts xinetd's limit of TCP connections per second (load tests)
};

class XinetdPeer {
 public:
  // Starts xinetd with Time and Daytime, each over TCP and UDP, on two free ports and waits until
  // all four answer; nullptr, with `error` set, when they do not within `bound`.
  static std::unique_ptr<XinetdPeer> Start(std::string& error, XinetdOptions options = {},
                                           std::chrono::milliseconds bound = std::chrono::seconds{5});
  std::uint16_t TimePort() const { return timePort_; }
  std::uint16_t DaytimePort() const { return daytimePort_; }
  pid_t Pid() const { return process_->Pid(); }

 private:
  bool TryStart(const XinetdOptions& options, std::chrono::milliseconds bound, std::string& error);

  TempDir dir_;  // outlives the process: it holds the process's files
  std::unique_ptr<PeerProcess> process_;
  std::uint16_t timePort_ = 0;
  std::uint16_t daytimePort_ = 0;
};

}  // namespace horavex::testing
