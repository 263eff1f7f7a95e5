// A private directory for one test's files: peer configurations, logs, pid files.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace horavex::testing {

class TempDir {
 public:
  // Creates a fresh directory under $TMPDIR (else /tmp); throws std::system_error when it cannot.
  TempDir();
  // Removes the directory and all it holds; errors are ignored.
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory itself.
  const std::filesystem::path& Path() const { return path_; }
  // The path of `name` inside the directory (not created).
  std::filesystem::path File(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The whole content of the file at `path`; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

}  // namespace horavex::testing
