// The one promise of the support library that no other test would notice breaking: a peer that
// ignores SIGTERM is still ended, so that no test leaves a process behind.
#include "support/peer_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "support/temp_dir.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;

TEST(PeerProcess, KillsAChildThatIgnoresSigterm) {
  TempDir dir;
  std::string error;
  // An ignored signal stays ignored across exec, so sleep itself ignores SIGTERM.
  auto child = PeerProcess::Start({"sh", "-c", "trap '' TERM; echo ready; exec sleep 30"}, dir.File("log"), error,
                                  300ms);
  ASSERT_TRUE(child) << error;
  ASSERT_TRUE(child->AwaitReady([&] { return child->Log() == "ready\n"; }, 2s));
  const auto start = std::chrono::steady_clock::now();
  const int status = child->Stop();
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
  EXPECT_FALSE(child->Running());
}

}  // namespace
}  // namespace horavex::testing
