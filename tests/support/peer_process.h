// A real program started by a test (chronyd, xinetd, horavexd, ...), ended and reaped when the
// object goes, so that no test leaves a process behind.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace horavex::testing {

class PeerProcess {
 public:
  // Starts `argv` (argv[0] found as ProgramPath finds it) without a shell, stdin from /dev/null,
  // stdout and stderr appended to `logFile`, signals at their defaults. nullptr, with `error`
  // set, when it cannot start.
  static std::unique_ptr<PeerProcess> Start(const std::vector<std::string>& argv, const std::filesystem::path& logFile,
                                            std::string& error);
  ~PeerProcess() { Stop(); }
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // The process id; it stays ours (a zombie at worst) until Stop or Running reaps it.
  pid_t Pid() const { return pid_; }
  // True while the process runs; reaps it once it has ended.
  bool Running();
  // SIGTERM, up to 2 seconds, then SIGKILL; reaps and returns the wait status (the same
  // status, without a signal, on later calls).
  int Stop();
  // Polls `ready` every 20 ms until it holds; false when the process ends or `bound` passes first.
  bool AwaitReady(const std::function<bool()>& ready, std::chrono::milliseconds bound);
  // What the process wrote so far.
  std::string Log() const;

 private:
  PeerProcess(pid_t pid, std::filesystem::path logFile) : pid_(pid), logFile_(std::move(logFile)) {}

  pid_t pid_;
  std::filesystem::path logFile_;
  std::optional<int> status_;
};

// The executable `name` on PATH or in /usr/local/sbin, /usr/sbin or /sbin (where root's tools live
// even when PATH lacks them); a name holding '/' is taken as a path. Empty when not found.
std::filesystem::path ProgramPath(std::string_view name);

}  // namespace horavex::testing
