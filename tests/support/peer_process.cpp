#include "support/peer_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

extern char** environ;

namespace horavex::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

bool IsExecutable(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec) && access(p.c_str(), X_OK) == 0;
}

// Spawn settings that give the child a clean start whatever the test process did to its own:
// no inherited descriptors past stderr, no blocked or ignored signals.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  explicit SpawnSetup(int logFd) {
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, logFd, 1);
    posix_spawn_file_actions_adddup2(&actions, logFd, 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

std::unique_ptr<PeerProcess> PeerProcess::Start(const std::vector<std::string>& argv,
                                                const std::filesystem::path& logFile, std::string& error,
                                                milliseconds stopBound) {
  const std::filesystem::path program = argv.empty() ? std::filesystem::path{} : ProgramPath(argv[0]);
  if (program.empty()) {
    error = "programma niet gevonden: " + (argv.empty() ? std::string{} : argv[0]);
    return nullptr;
  }
  const int logFd = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (logFd < 0) {
    error = "kan logbestand niet openen: " + logFile.string() + ": " + std::strerror(errno);
    return nullptr;
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc;
  {
    SpawnSetup setup(logFd);
    rc = posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attr, args.data(), environ);
  }
  close(logFd);
  if (rc != 0) {
    error = "kan " + program.string() + " niet starten: " + std::strerror(rc);
    return nullptr;
  }
  return std::unique_ptr<PeerProcess>(new PeerProcess(pid, logFile, stopBound));
}

PeerProcess::~PeerProcess() { Stop(); }

bool PeerProcess::Reap(int options) {
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid_, &status, options);
  } while (r < 0 && errno == EINTR);
  if (r == pid_) status_ = status;
  // ECHILD: someone else reaped it; record an unknown ending rather than wait forever.
  if (r < 0) status_ = -1;
  return status_.has_value();
}

bool PeerProcess::Running() { return !status_ && !Reap(WNOHANG); }

int PeerProcess::Stop() {
  if (!Running()) return *status_;
  kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + stopBound_;
  while (Clock::now() < deadline) {
    if (Reap(WNOHANG)) return *status_;
    std::this_thread::sleep_for(milliseconds{10});
  }
  kill(pid_, SIGKILL);
  Reap(0);
  return *status_;
}

bool PeerProcess::AwaitReady(const std::function<bool()>& ready, milliseconds bound) {
  const auto deadline = Clock::now() + bound;
  while (true) {
    if (ready()) return true;
    if (!Running() || Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(milliseconds{20});
  }
}

std::string PeerProcess::Log() const { return ReadFile(logFile_); }

std::filesystem::path ProgramPath(std::string_view name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string_view::npos) return IsExecutable(name) ? std::filesystem::path(name) : "";
  std::string dirs = "/usr/local/sbin:/usr/sbin:/sbin";
  if (const char* path = std::getenv("PATH")) dirs = std::string(path) + ":" + dirs;
  std::istringstream list(dirs);
  for (std::string dir; std::getline(list, dir, ':');) {
    if (dir.empty()) continue;
    const std::filesystem::path candidate = std::filesystem::path(dir) / name;
    if (IsExecutable(candidate)) return candidate;
  }
  return {};
}

bool FindProgram(std::string_view name) { return !ProgramPath(name).empty(); }

}  // namespace horavex::testing
