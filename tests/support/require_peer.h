// What a test does when a real peer program is missing: skip with the reason on a developer's
// machine, fail where the peers must be present (CI sets HORAVEX_REQUIRE_PEERS=1), so that a
// missing package can never turn the interop tests silently green.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "support/peer_process.h"

namespace horavex::testing {

// True when peers must be present: HORAVEX_REQUIRE_PEERS=1 in the environment.
inline bool PeersRequired() {
  const char* value = std::getenv("HORAVEX_REQUIRE_PEERS");
  return value != nullptr && std::string_view(value) == "1";
}

// Skips the current test with `reason`, or fails it when peers are required.
inline void PeerUnavailable(const std::string& reason) {
  if (PeersRequired()) {
    ADD_FAILURE() << reason << " (HORAVEX_REQUIRE_PEERS=1)";
  } else {
    [&] { GTEST_SKIP() << reason; }();
  }
}

// True when `program` is installed; otherwise PeerUnavailable and false. The test must return
// when this is false: `if (!RequirePeer("chronyd")) return;` or HORAVEX_REQUIRE_PEER("chronyd").
[[nodiscard]] inline bool RequirePeer(std::string_view program) {
  if (FindProgram(program)) return true;
  PeerUnavailable("testpeer niet geïnstalleerd: " + std::string(program));
  return false;
}

}  // namespace horavex::testing

// Ends the current test (skipped or failed) when `program` is not installed.
#define HORAVEX_REQUIRE_PEER(program)                     \
  do {                                                    \
    if (!::horavex::testing::RequirePeer(program)) return; \
  } while (false)
