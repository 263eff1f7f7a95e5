// Two copies of the program writing one profile, and a copy killed in the middle of a write.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <regex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "common/profile.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;

// Runs `body` in a child process; the child's exit status says whether it succeeded.
template <typename Body>
pid_t Fork(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  return pid;
}

bool ExitedCleanly(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(ProfileProcessTest, TwoProcessesWritingAtOnceLoseNoKey) {
  TempDir dir;
  const fs::path file = dir.File("shared.ini");
  constexpr int kKeys = 100;
  auto writeKeys = [&file](const std::string& prefix) {
    Profile profile(file);
    bool ok = true;
    for (int i = 0; i < kKeys; ++i) ok = profile.WriteInt("S", prefix + std::to_string(i), i) && ok;
    return ok;
  };
  const pid_t child = Fork([&] { return writeKeys("child"); });
  ASSERT_GT(child, 0);
  const bool parentOk = writeKeys("parent");
  ASSERT_TRUE(ExitedCleanly(child));
  ASSERT_TRUE(parentOk);
  Profile check(file);
  for (int i = 0; i < kKeys; ++i) {
    EXPECT_EQ(check.GetInt("S", "child" + std::to_string(i), -1), i);
    EXPECT_EQ(check.GetInt("S", "parent" + std::to_string(i), -1), i);
  }
}

TEST(ProfileProcessTest, AWriterKilledMidSaveLeavesACompleteFile) {
  TempDir dir;
  const fs::path file = dir.File("crash.ini");
  constexpr int kKeys = 10;
  {
    Profile setup(file);
    for (int k = 0; k < kKeys; ++k) ASSERT_TRUE(setup.WriteString("CRASH", "K" + std::to_string(k), "init"));
  }
  // A value from a completed write is whole: its padding and end mark are all there.
  const std::string padding(300, 'x');
  const std::regex line("\\[CRASH\\]|K[0-9]=(init|r[0-9]+-[0-9]+-" + padding + "-end)");
  std::mt19937 random(7);
  for (int round = 0; round < 8; ++round) {
    const pid_t child = Fork([&] {
      Profile writer(file);
      for (long i = 0;; ++i)
        writer.WriteString("CRASH", "K" + std::to_string(i % kKeys),
                           "r" + std::to_string(round) + "-" + std::to_string(i) + "-" + padding + "-end");
      return true;
    });
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 40));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);

    std::istringstream text(ReadFile(file));
    int lines = 0;
    for (std::string l; std::getline(text, l); ++lines) EXPECT_TRUE(std::regex_match(l, line)) << l.substr(0, 40);
    EXPECT_EQ(lines, kKeys + 1) << "round " << round;
  }
  // What a killed writer left behind does not stand in the way of the next one.
  Profile after(file);
  EXPECT_TRUE(after.WriteString("CRASH", "K0", "done"));
  EXPECT_FALSE(fs::exists(dir.File("crash.ini.tmp")));
}

}  // namespace
}  // namespace horavex
