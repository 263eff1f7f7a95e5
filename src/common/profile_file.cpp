#include "common/profile_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace horavex {
namespace {

FileStamp StampOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size,
          static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

// Reads to the end into `out`, whose size is the first guess of the file's; fails with EFBIG past
// `maxBytes` (the file may grow while it is read).
int ReadAll(int fd, std::string& out, std::size_t maxBytes) {
  std::size_t used = 0;
  for (;;) {
    if (used == out.size()) {
      if (used > maxBytes) return EFBIG;
      out.resize(std::max<std::size_t>(used * 2, 65536));
    }
    const ssize_t n = read(fd, out.data() + used, out.size() - used);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    used += static_cast<std::size_t>(n);
  }
  out.resize(used);
  return used > maxBytes ? EFBIG : 0;
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

// So that the rename itself survives a power cut; a failure here loses nothing already written.
void SyncDirectory(const std::filesystem::path& dir) {
  const int fd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Fills the open temporary file; its mode and owner become those of the file it replaces.
int FillTemporary(int fd, const struct stat* old, std::string_view bytes, FileStamp& written) {
  if (old) {
    // Only root may give the file away; anyone else keeps the owner already.
    if (fchown(fd, old->st_uid, old->st_gid) != 0 && errno != EPERM) return errno;
    if (fchmod(fd, old->st_mode & 07777) != 0) return errno;
  }
  if (int e = WriteAll(fd, bytes)) return e;
  if (fsync(fd) != 0) return errno;
  struct stat st {};
  if (fstat(fd, &st) != 0) return errno;
  written = StampOf(st);
  return 0;
}

}  // namespace

std::optional<FileStamp> StampOfPath(const std::filesystem::path& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  return StampOf(st);
}

FileBytes ReadFileBytes(const std::filesystem::path& path, std::size_t maxBytes) {
  FileBytes out;
  // Non-blocking: a FIFO put in the profile's place must not hang the program.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    out.error = errno;
    return out;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) out.error = errno;
  else if (S_ISDIR(st.st_mode)) out.error = EISDIR;
  else if (!S_ISREG(st.st_mode)) out.error = EINVAL;
  else {
    out.stamp = StampOf(st);
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) out.error = EFBIG;
    else {
      out.bytes.resize(static_cast<std::size_t>(st.st_size) + 1);  // one more: the end shows at once
      out.error = ReadAll(fd, out.bytes, maxBytes);
    }
  }
  close(fd);
  if (out.error != 0) out.bytes.clear();
  return out;
}

int ReplaceFile(const std::filesystem::path& target, std::string_view bytes, FileStamp& written) {
  struct stat old {};
  const bool haveOld = stat(target.c_str(), &old) == 0;
  // A file the user made read-only stays as it is, although the rename could replace it.
  if (haveOld && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return errno;

  std::filesystem::path temporary = target;
  temporary += ".tmp";
  unlink(temporary.c_str());  // left by a writer that was killed; we hold the lock
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return errno;
  int error = FillTemporary(fd, haveOld ? &old : nullptr, bytes, written);
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(temporary.c_str());
    return error;
  }
  SyncDirectory(target.parent_path());
  return 0;
}

FileLock::~FileLock() {
  if (m_fd >= 0) close(m_fd);  // releases the flock
}

int FileLock::Acquire(const std::filesystem::path& lockFile, std::chrono::milliseconds bound,
                      const std::atomic<bool>* cancelled) {
  // Read-only is enough for flock, and lets another user's program share a lock file root made.
  m_fd = open(lockFile.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (m_fd < 0) return errno;
  const auto deadline = std::chrono::steady_clock::now() + bound;
  std::chrono::milliseconds step{1};
  for (;;) {
    if (flock(m_fd, LOCK_EX | LOCK_NB) == 0) return 0;
    if (errno != EWOULDBLOCK && errno != EINTR) return errno;
    if (cancelled && *cancelled) return ECANCELED;
    if (std::chrono::steady_clock::now() >= deadline) return EWOULDBLOCK;
    std::this_thread::sleep_for(step);
    step = std::min(step * 2, std::chrono::milliseconds{5});
  }
}

}  // namespace horavex
