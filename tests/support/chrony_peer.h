// chronyd as an SNTP server on 127.0.0.1, started for one test and never steering the clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "support/peer_process.h"
#include "support/temp_dir.h"

namespace horavex::testing {

class ChronyPeer {
 public:
  // Starts chronyd -x on a free port of 127.0.0.1 and waits until it answers an SNTP request.
  // nullptr, with `error` set, when chronyd is missing, when a chronyd that may steer the clock
  // already runs, or when it does not answer within `bound`.
  static std::unique_ptr<ChronyPeer> Start(std::string& error,
                                           std::chrono::milliseconds bound = std::chrono::seconds{5});

  // The UDP port it answers SNTP on.
  std::uint16_t Port() const { return port_; }

 private:
  ChronyPeer() = default;
  bool TryStart(std::chrono::milliseconds bound, std::string& error);

  TempDir dir_;  // outlives the process: it holds the process's files
  std::unique_ptr<PeerProcess> process_;
  std::uint16_t port_ = 0;
};

}  // namespace horavex::testing
