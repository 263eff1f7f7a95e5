#include "platform/linux/set_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace horavex {
namespace {

constexpr char kSent[] = "sent\n";

}  // namespace

std::filesystem::path OwnRuntimeDir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code error;
  const bool hasRuntime = runtime && runtime[0] == '/' && std::filesystem::is_directory(runtime, error);
  const std::filesystem::path dir = hasRuntime ? std::filesystem::path(runtime) / "horavex"
                                               : std::filesystem::temp_directory_path(error) /
                                                     ("horavex-" + std::to_string(::getuid()));
  ::mkdir(dir.c_str(), 0700);
  // Anyone may make a folder of that name in a shared place first: use only one that is ours alone.
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0)
    return {};
  return dir;
}

SetLock::~SetLock() {
  if (fd_ >= 0) ::close(fd_);
}

SetLock::Outcome SetLock::TryTake() {
  if (fd_ < 0) {
    const std::filesystem::path dir = OwnRuntimeDir();
    if (dir.empty()) return Outcome::kNone;
    fd_ = ::open((dir / "clock-set.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) return Outcome::kNone;
  }
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? Outcome::kBusy : Outcome::kNone;
  char left[sizeof kSent] = {};
  foundUnanswered_ = ::pread(fd_, left, sizeof left - 1, 0) > 0;
  MarkAnswered();
  return Outcome::kTaken;
}

// A record that cannot be written costs only the next holder's second look; the set goes on.
void SetLock::MarkSent() {
  if (fd_ < 0) return;
  const ssize_t written = ::pwrite(fd_, kSent, sizeof kSent - 1, 0);
  (void)written;
}

void SetLock::MarkAnswered() {
  if (fd_ < 0) return;
  const int truncated = ::ftruncate(fd_, 0);
  (void)truncated;
}

}  // namespace horavex
