#include "support/peer_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "support/temp_dir.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(PeerProcess, EndsItsChildWithSigterm) {
  TempDir dir;
  std::string error;
  auto child = PeerProcess::Start({"sleep", "30"}, dir.File("log"), error);
  ASSERT_TRUE(child) << error;
  EXPECT_TRUE(child->Running());
  const auto start = Clock::now();
  const int status = child->Stop();
  EXPECT_LT(Clock::now() - start, 1s);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  EXPECT_FALSE(child->Running());
}

TEST(PeerProcess, KillsAChildThatIgnoresSigterm) {
  TempDir dir;
  std::string error;
  // An ignored signal stays ignored across exec, so sleep itself ignores SIGTERM.
  auto child = PeerProcess::Start({"sh", "-c", "trap '' TERM; echo ready; exec sleep 30"}, dir.File("log"), error,
                                  300ms);
  ASSERT_TRUE(child) << error;
  ASSERT_TRUE(child->AwaitReady([&] { return child->Log() == "ready\n"; }, 2s));
  const auto start = Clock::now();
  const int status = child->Stop();
  EXPECT_GE(Clock::now() - start, 300ms);
  EXPECT_LT(Clock::now() - start, 2s);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

TEST(PeerProcess, LogsBothStreamsAndReportsWhatCannotStart) {
  TempDir dir;
  std::string error;
  auto child = PeerProcess::Start({"sh", "-c", "echo out; echo err >&2; exit 3"}, dir.File("log"), error);
  ASSERT_TRUE(child) << error;
  EXPECT_FALSE(child->AwaitReady([] { return false; }, 2s));  // returns early: the child ended
  EXPECT_EQ(child->Log(), "out\nerr\n");
  const int status = child->Stop();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);

  EXPECT_FALSE(PeerProcess::Start({"horavex-no-such-program"}, dir.File("log2"), error));
  EXPECT_NE(error.find("horavex-no-such-program"), std::string::npos);
  EXPECT_FALSE(FindProgram("horavex-no-such-program"));
  EXPECT_TRUE(FindProgram("sh"));
}

}  // namespace
}  // namespace horavex::testing
