// The profile: one INI file of sections with integer and string keys, shared by every part of
// the program and by a second copy of it. Names compare without regard to case.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace horavex {

class Profile {
 public:
  explicit Profile(std::filesystem::path file);
  ~Profile();
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;

  // <config dir>/<exeBaseName>.ini, the config dir being $XDG_CONFIG_HOME, else ~/.config.
  static std::filesystem::path DefaultPath(std::string_view exeBaseName);

  const std::filesystem::path& Path() const;

  // The key's integer, read like the Windows profile: leading decimal digits after an optional
  // sign; the default when the key is absent or empty.
  int GetInt(std::string_view section, std::string_view key, int defaultValue);
  std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue);

  // Reads the file again, changes one key and replaces the file atomically.
  // False when the file could not be written; LastError() then holds the errno.
  bool WriteInt(std::string_view section, std::string_view key, int value);
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  int LastError() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace horavex
