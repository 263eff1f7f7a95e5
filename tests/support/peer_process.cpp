#include "support/peer_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

namespace horavex::testing {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::unique_ptr<PeerProcess> PeerProcess::Start(const std::vector<std::string>& argv,
                                                const std::filesystem::path& logFile, std::string& error) {
  const std::filesystem::path program = ProgramPath(argv.empty() ? "" : argv[0]);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const int logFd = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  const int nullFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  const pid_t pid = program.empty() || logFd < 0 || nullFd < 0 ? -1 : fork();
  if (pid == 0) {
    // A clean start whatever the test process did to its own: no descriptors past stderr, no
    // blocked or ignored signals. Only calls that are safe after fork.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
    dup2(nullFd, 0), dup2(logFd, 1), dup2(logFd, 2);
    closefrom(3);
    execv(program.c_str(), args.data());
    _exit(127);
  }
  for (int fd : {logFd, nullFd}) fd < 0 || close(fd);
  if (pid > 0) return std::unique_ptr<PeerProcess>(new PeerProcess(pid, logFile));
  error = "kan " + (argv.empty() ? std::string() : argv[0]) + " niet starten: " + std::strerror(program.empty() ? ENOENT : errno);
  return nullptr;
}

bool PeerProcess::Running() {
  int status = 0;
  // WNOHANG returns at once, so no signal interrupts it; -1: reaped by someone else.
  if (const pid_t r = status_ ? 0 : waitpid(pid_, &status, WNOHANG); r != 0) status_ = r == pid_ ? status : -1;
  return !status_;
}

int PeerProcess::Stop() {
  if (!Running()) return *status_;
  kill(pid_, SIGTERM);
  for (const auto deadline = Clock::now() + 2s; Clock::now() < deadline; std::this_thread::sleep_for(10ms))
    if (!Running()) return *status_;
  kill(pid_, SIGKILL);
  while (Running()) std::this_thread::sleep_for(1ms);
  return *status_;
}

bool PeerProcess::AwaitReady(const std::function<bool()>& ready, milliseconds bound) {
  for (const auto deadline = Clock::now() + bound;; std::this_thread::sleep_for(20ms)) {
    if (ready()) return true;
    if (!Running() || Clock::now() >= deadline) return false;
  }
}

std::string PeerProcess::Log() const { return ReadFile(logFile_); }

std::filesystem::path ProgramPath(std::string_view name) {
  const auto executable = [](const std::filesystem::path& p) { return access(p.c_str(), X_OK) == 0 && !is_directory(p); };
  if (name.find('/') != std::string_view::npos) return executable(name) ? std::filesystem::path(name) : "";
  const char* path = std::getenv("PATH");
  std::istringstream dirs(std::string(path ? path : "") + ":/usr/local/sbin:/usr/sbin:/sbin");
  for (std::string dir; !name.empty() && std::getline(dirs, dir, ':');)
    if (!dir.empty() && executable(std::filesystem::path(dir) / name)) return std::filesystem::path(dir) / name;
  return {};
}

}  // namespace horavex::testing
