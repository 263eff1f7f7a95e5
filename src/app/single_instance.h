// One copy of the windowed program at a time. The first copy holds an exclusive lock on a file in
// the user's runtime folder and listens on a Unix socket beside it; a later copy finds the lock
// taken and asks the first, over the socket, to show its main window. The kernel drops the lock of
// a copy that crashed, so a stale lock never blocks a start; a stale socket is replaced.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <asio/any_io_executor.hpp>

namespace horavex {

class SingleInstance {
 public:
  // The lock `name`.lock and the socket `name`.sock in `dir`.
  SingleInstance(std::filesystem::path dir, std::string name);
  // Closes the listener on its io executor, which must still run; lets go of the lock.
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // The user's runtime folder ($XDG_RUNTIME_DIR), or the temporary folder.
  static std::filesystem::path DefaultDir();

  // True when this copy is the first; it then holds the lock until it is destroyed. A lock file
  // that cannot be made at all counts as first: a start is never refused for want of a lock.
  bool TryLock();
  // A later copy: asks the first to show itself. False when it did not answer within two seconds
  // (it has no socket yet, or it hangs).
  bool AskFirstToShow() const;
  // The first copy: answers requests on `io` and runs `onShow` on `logic` for each. Call only
  // after TryLock succeeded. False when the socket cannot be made; later copies then cannot reach it.
  bool Listen(asio::any_io_executor io, asio::any_io_executor logic, std::function<void()> onShow);

 private:
  struct Listener;
  std::filesystem::path lockPath_;
  std::filesystem::path socketPath_;
  int lockFd_ = -1;
  std::shared_ptr<Listener> listener_;
};

}  // namespace horavex
