// How the dial-up port's programs end is covered through the port; here what only the runner does.
#include "platform/linux/run_program.h"

#include <signal.h>

#include <chrono>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "fake_commands.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;
using Outcome = ProgramResult::Outcome;
using testing::FakeCommands;

// Whether the process is gone (or only a zombie that nobody here has to reap).
bool IsGone(int pid) {
  for (int i = 0; i < 200; ++i) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidField, name, state;
    if (!(stat >> pidField >> name >> state) || state == "Z") return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

TEST(RunProgramTest, AProgramPastItsBoundIsKilledWithWhatItStarted) {
  FakeCommands commands;
  const std::string pids = (commands.Dir() / "pids").string();
  commands.Add("hangs", "/bin/sleep 30 & echo $! > '" + pids + "'; echo $$ >> '" + pids + "'; wait");
  const auto start = std::chrono::steady_clock::now();
  const ProgramResult r = RunProgram({"hangs"}, 300ms);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_EQ(r.outcome, Outcome::kTimedOut);
  std::ifstream in(pids);
  int sleeper = 0, shell = 0;
  ASSERT_TRUE(in >> sleeper >> shell);
  EXPECT_TRUE(IsGone(sleeper));
  EXPECT_TRUE(IsGone(shell));
}

TEST(RunProgramTest, TheProgramDoesNotInheritBlockedSignals) {
  FakeCommands commands;
  commands.Add("terminates", "kill -TERM $$; exit 0");
  ProgramResult r;
  // As on an Asio thread, which blocks every signal.
  std::thread blocked([&] {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    r = RunProgram({"terminates"}, 5s);
  });
  blocked.join();
  EXPECT_EQ(r.outcome, Outcome::kSignalled);
  EXPECT_EQ(r.code, SIGTERM);
}

}  // namespace
}  // namespace horavex
