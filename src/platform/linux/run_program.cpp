#include "platform/linux/run_program.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace horavex {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kGraceAfterTerm{500};
constexpr milliseconds kReapBound{5000};

ProgramResult FromStatus(int status) {
  if (WIFEXITED(status)) return {ProgramResult::Outcome::kExited, WEXITSTATUS(status)};
  return {ProgramResult::Outcome::kSignalled, WTERMSIG(status)};
}

// Waits up to `deadline` for the child to end; true when it did (or cannot be waited for). The
// child stays unreaped, so that its pid, which is also its process group's id, is not reused.
bool WaitForExit(pid_t pid, Clock::time_point deadline, const std::atomic<bool>* cancel) {
  milliseconds step{1};
  for (;;) {
    siginfo_t info{};
    const int r = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if (r == 0 && info.si_pid == pid) return true;
    if (r < 0 && errno != EINTR) return true;
    const auto now = Clock::now();
    if (now >= deadline || (cancel && cancel->load())) return false;
    std::this_thread::sleep_for(std::min<Clock::duration>(step, deadline - now));
    step = std::min(step * 2, milliseconds{20});
  }
}

ProgramResult Reap(pid_t pid) {
  int status = 0;
  pid_t r;
  while ((r = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
  }
  // Reaped by someone else (SIGCHLD ignored, a wait for any child): how it ended is not known.
  if (r < 0) return {ProgramResult::Outcome::kUnknown, errno};
  return FromStatus(status);
}

// Ends the child's whole process group: a script's own children must not outlive the bound.
void Kill(pid_t pid) {
  kill(-pid, SIGTERM);
  WaitForExit(pid, Clock::now() + kGraceAfterTerm, nullptr);
  kill(-pid, SIGKILL);  // whatever is left of the group, the child itself included
  // A child stuck in the kernel stays a zombie rather than hanging its caller.
  if (WaitForExit(pid, Clock::now() + kReapBound, nullptr)) Reap(pid);
}

struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;

  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_init(&attr);
    // Asio's threads block every signal, and a child inherits the mask: unblock and reset them,
    // or the program could not be stopped with SIGTERM.
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t all;
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  }
  ~SpawnSetup() {
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv, milliseconds limit, const std::atomic<bool>* cancel) {
  if (argv.empty() || argv[0].empty()) return {ProgramResult::Outcome::kNotStarted, EINVAL};
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  pid_t pid = 0;
  int rc = 0;
  {
    SpawnSetup setup;
    rc = posix_spawnp(&pid, args[0], &setup.actions, &setup.attr, args.data(), environ);
  }
  if (rc != 0) return {ProgramResult::Outcome::kNotStarted, rc};

  if (WaitForExit(pid, Clock::now() + limit, cancel)) return Reap(pid);
  Kill(pid);
  const bool cancelled = cancel && cancel->load();
  return {cancelled ? ProgramResult::Outcome::kCancelled : ProgramResult::Outcome::kTimedOut, 0};
}

bool IsOnPath(std::string_view name) {
  if (name.empty() || name.find('/') != std::string_view::npos) return false;
  const char* env = std::getenv("PATH");
  const std::string_view path = env ? env : "/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(path.find(':', start), path.size());
    std::string dir(path.substr(start, end - start));
    if (dir.empty()) dir = ".";
    const std::string file = dir + "/" + std::string(name);
    struct stat st {};
    if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0) return true;
    if (end == path.size()) return false;
    start = end + 1;
  }
}

}  // namespace horavex
