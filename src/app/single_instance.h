// One copy of the windowed program at a time. The first copy holds an exclusive lock on a file in
// a folder only this user can write and listens on a Unix socket beside it; a later copy finds the
// lock taken and asks the first, over the socket, to show its main window. The kernel drops the
// lock of a copy that crashed, so a stale lock never blocks a start; a stale socket is replaced.
// A folder, lock or socket another user could have made is never used: in a folder others can
// write, anyone could hold the lock first and make every start end.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <asio/any_io_executor.hpp>

namespace horavex {

class SingleInstance {
 public:
  // The lock `name`.lock and the socket `name`.sock in the folder `dir`, which is made (mode 700)
  // when it is missing.
  SingleInstance(std::filesystem::path dir, std::string name);
  // Closes the listener on its io executor, which must still run; lets go of the lock.
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // "horavex" in the user's runtime folder ($XDG_RUNTIME_DIR), else in the user's cache folder
  // ($XDG_CACHE_HOME, else ~/.cache); empty when there is neither.
  static std::filesystem::path DefaultDir();

  // True when this copy is the first; it then holds the lock until it is destroyed. A start is
  // never refused for want of a lock: a folder or lock that cannot be made, or that cannot be
  // trusted (Problem() says why), counts as first, without a lock.
  bool TryLock();
  // Why this copy holds no lock although TryLock said first, in Dutch; empty when it holds one.
  const std::string& Problem() const { return m_problem; }
  // A later copy: asks the first to show itself. False when it did not answer within two seconds
  // (it has no socket yet, or it hangs) or its socket is not this user's.
  bool AskFirstToShow() const;
  // The first copy: answers requests on `io` and runs `onShow` on `logic` for each. False when
  // this copy holds no lock or the socket cannot be made; later copies then cannot reach it.
  bool Listen(asio::any_io_executor io, asio::any_io_executor logic, std::function<void()> onShow);

 private:
  struct Listener;
  std::filesystem::path m_dir;
  std::filesystem::path m_lockPath;
  std::filesystem::path m_socketPath;
  int m_lockFd = -1;
  std::string m_problem;
  std::shared_ptr<Listener> m_listener;
};

}  // namespace horavex
