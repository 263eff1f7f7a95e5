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
  if (m_fd >= 0) ::close(m_fd);
}

SetLock::Outcome SetLock::TryTake() {
  if (m_fd < 0) {
    const std::filesystem::path dir = OwnRuntimeDir();
    if (dir.empty()) return Outcome::kNone;
    m_fd = ::open((dir / "clock-set.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) return Outcome::kNone;
  }
  if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? Outcome::kBusy : Outcome::kNone;
  char left[sizeof kSent] = {};
  m_foundUnanswered = ::pread(m_fd, left, sizeof left - 1, 0) > 0;
  MarkAnswered();
  return Outcome::kTaken;
}

// A record that cannot be written costs only the next holder's second look; the set goes on.
void SetLock::MarkSent() {
  if (m_fd < 0) return;
  const ssize_t written = ::pwrite(m_fd, kSent, sizeof kSent - 1, 0);
  (void)written;
}

void SetLock::MarkAnswered() {
  if (m_fd < 0) return;
  const int truncated = ::ftruncate(m_fd, 0);
  (void)truncated;
}

}  // namespace horavex
