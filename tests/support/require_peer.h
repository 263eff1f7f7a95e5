// What a test does when a real peer program is missing: skip with the reason on a developer's
// machine, fail where the peers must be present (CI sets HORAVEX_REQUIRE_PEERS=1), so that a
// missing package can never turn the interop tests silently green.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/peer_process.h"

// Ends the current test (skipped or failed) when `program` is not installed.
#define HORAVEX_REQUIRE_PEER(program) HORAVEX_REQUIRE(!::horavex::testing::ProgramPath(program).empty(), program)
// The same for any peer `what` that `present` tells is there.
#define HORAVEX_REQUIRE(present, what)                                                   \
  do {                                                                                   \
    if (present) break;                                                                  \
    const char* required = std::getenv("HORAVEX_REQUIRE_PEERS");                         \
    if (required && std::string(required) == "1") FAIL() << what << " is not installed"; \
    GTEST_SKIP() << what << " is not installed";                                         \
  } while (false)
