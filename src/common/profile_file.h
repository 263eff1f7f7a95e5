// The file operations under the profile: reading a whole file with the stamp of what was read,
// replacing a file atomically, and the lock that serialises writers across processes.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace horavex {

// What stat says of a file's content: an edit, or a rename over it, changes it.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t mtimeNs = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of the file at `path` now (symbolic links followed); nothing when it cannot be seen.
std::optional<FileStamp> StampOfPath(const std::filesystem::path& path);

struct FileBytes {
  int error = 0;                   // 0, or the errno; EFBIG above the limit, EISDIR, EINVAL for no regular file
  std::string bytes;               // empty unless error is 0
  std::optional<FileStamp> stamp;  // of the file as it was read, when it was opened
};
// Reads the regular file at `path` whole, when it holds at most `maxBytes`.
FileBytes ReadFileBytes(const std::filesystem::path& path, std::size_t maxBytes);

// Writes `bytes` to "<target>.tmp", syncs it and renames it over `target`, keeping the mode and
// owner of an existing target. 0 with `written` set, or the errno, the target then untouched.
// Callers serialise through a FileLock, since the temporary file's name is fixed.
int ReplaceFile(const std::filesystem::path& target, std::string_view bytes, FileStamp& written);

// An exclusive flock on a lock file, created when missing, held for the object's life.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  // Takes the lock, waiting at most `bound` for another holder; 0 or the errno (EWOULDBLOCK
  // when the bound passed, ECANCELED when `cancelled` was set while it was held elsewhere).
  int Acquire(const std::filesystem::path& lockFile, std::chrono::milliseconds bound,
              const std::atomic<bool>* cancelled = nullptr);

 private:
  int m_fd = -1;
};

}  // namespace horavex
