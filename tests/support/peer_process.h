// A real program started by a test (chronyd, xinetd, rdate, ...), ended and reaped when the
// object goes, so that no test leaves a process behind.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace horavex::testing {

class PeerProcess {
 public:
  // Starts `argv` (argv[0] a path, or a name found as ProgramPath finds it) without a shell, with
  // stdin from /dev/null and stdout and stderr appended to `logFile`. nullptr, with `error` set,
  // when it cannot start. `stopBound` is how long Stop waits after SIGTERM before SIGKILL.
  static std::unique_ptr<PeerProcess> Start(const std::vector<std::string>& argv, const std::filesystem::path& logFile,
                                            std::string& error,
                                            std::chrono::milliseconds stopBound = std::chrono::seconds{2});
  // Stop().
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  // The process id; it stays ours (a zombie at worst) until Stop or Running reaps it.
  pid_t Pid() const { return pid_; }
  // True while the process runs; reaps it once it has ended.
  bool Running();
  // Sends SIGTERM to the process, waits up to the stop bound, then SIGKILL, and reaps it.
  // Returns the wait status; later calls return the same status and signal nothing.
  int Stop();
  // Polls `ready` every 20 ms until it holds; false when the process ends or `bound` passes first.
  bool AwaitReady(const std::function<bool()>& ready, std::chrono::milliseconds bound);
  // What the process wrote to its log so far.
  std::string Log() const;

 private:
  PeerProcess(pid_t pid, std::filesystem::path logFile, std::chrono::milliseconds stopBound)
      : pid_(pid), logFile_(std::move(logFile)), stopBound_(stopBound) {}
  bool Reap(int options);

  pid_t pid_;
  std::filesystem::path logFile_;
  std::chrono::milliseconds stopBound_;
  std::optional<int> status_;
};

// The executable `name` on PATH or in /usr/local/sbin, /usr/sbin or /sbin (where root's tools live
// even when PATH lacks them); a name holding '/' is taken as a path. Empty when not found.
std::filesystem::path ProgramPath(std::string_view name);
// True when ProgramPath finds `name`.
bool FindProgram(std::string_view name);

}  // namespace horavex::testing
