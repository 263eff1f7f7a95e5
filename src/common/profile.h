// The profile: one INI file of sections with integer and string keys, shared by every part of
// the program and by a second copy of it. Names compare without regard to case.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace horavex {

// Thread-safe. Reads see the file as it is on disk (a hand edit, a second copy's write); a
// missing, unreadable or garbled file reads as defaults.
class Profile {
 public:
  explicit Profile(std::filesystem::path file);
  ~Profile();
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;

  // <config dir>/<exeBaseName>.ini, the config dir being $XDG_CONFIG_HOME when it is an absolute
  // path, else ~/.config.
  static std::filesystem::path DefaultPath(std::string_view exeBaseName);

  const std::filesystem::path& Path() const;

  // The key's integer, read like the Windows profile: leading decimal digits after white space
  // and an optional sign ("12abc" is 12, "abc" is 0), saturated to the int range; the default
  // when the key is absent or empty.
  int GetInt(std::string_view section, std::string_view key, int defaultValue);
  std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue);

  // Reads the file again, changes one key and replaces the file atomically, under a lock that
  // other writers of the file (this program's second copy included) share. False when the file
  // could not be written, the old file then intact; EINVAL for a name or value that would not
  // read back as written (a line break, a NUL, "=" in a key, "]" in a section).
  bool WriteInt(std::string_view section, std::string_view key, int value);
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  // The errno of the last write; 0 when it succeeded.
  int LastError() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The integer of a stored text as GetInt reads it; nothing for an empty text.
std::optional<int> ProfileIntFromText(std::string_view text);

}  // namespace horavex
