// Starting a helper program (nmcli, pon, poff) and waiting for it with a bound. The arguments go
// to the program as a vector, never through a shell: a connection name is text a user typed.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace horavex {

struct ProgramResult {
  enum class Outcome {
    kExited,      // code: the exit status
    kSignalled,   // code: the signal that ended it
    kTimedOut,    // killed after the time bound; code 0
    kCancelled,   // killed because the cancel flag was raised; code 0
    kNotStarted,  // code: the errno of the start (ENOENT: not found on PATH)
    kUnknown,     // it ran, but its end could not be learnt; code: the errno
  };
  Outcome outcome = Outcome::kNotStarted;
  int code = 0;
  bool Succeeded() const { return outcome == Outcome::kExited && code == 0; }
};

// Runs argv[0], looked up on PATH, with `argv` as its arguments; stdin and stdout are /dev/null,
// stderr is ours. Waits at most `limit`, and no longer than until `*cancel` is true; then kills
// the program (and what it started) by its process group and reaps it.
ProgramResult RunProgram(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                         const std::atomic<bool>* cancel = nullptr);

// True when PATH holds an executable file named `name`.
bool IsOnPath(std::string_view name);

}  // namespace horavex
