// The one promise of the support library that no other test would notice breaking: a peer that
// ignores SIGTERM is still ended, so that no test leaves a process behind.
#include "support/peer_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "support/temp_dir.h"

namespace horavex::testing {

TEST(PeerProcess, KillsAChildThatIgnoresSigterm) {
  using namespace std::chrono_literals;
  TempDir dir;
  std::string error;
  // An ignored signal stays ignored across exec, so sleep itself ignores SIGTERM.
  auto child = PeerProcess::Start({"sh", "-c", "trap '' TERM; echo ready; exec sleep 30"}, dir.File("log"), error, 300ms);
  ASSERT_TRUE(child && child->AwaitReady([&] { return child->Log() == "ready\n"; }, 2s)) << error;
  const auto start = std::chrono::steady_clock::now();
  const int status = child->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL && !child->Running());
}

}  // namespace horavex::testing
