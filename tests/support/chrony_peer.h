// chronyd as an SNTP server on 127.0.0.1, started for one test with -x: it never steers the clock.
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
  // Starts chronyd on a free port and waits until it answers an SNTP request; nullptr, with
  // `error` set, when it does not within `bound`.
  static std::unique_ptr<ChronyPeer> Start(std::string& error, std::chrono::milliseconds bound = std::chrono::seconds{5});
  std::uint16_t Port() const { return port_; }

 private:
  bool TryStart(std::chrono::milliseconds bound, std::string& error);

  TempDir dir_;  // outlives the process: it holds the process's files
  std::unique_ptr<PeerProcess> process_;
  std::uint16_t port_ = 0;
};

}  // namespace horavex::testing
