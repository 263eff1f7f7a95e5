// The profile: one INI file of sections with integer and string keys, shared by every part of
// the program and by a second copy of it. Names compare without regard to case.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace horavex {

struct ProfileEntry {
  std::string key;
  std::string value;
};

// The keys of one section as the file held them at one moment.
class SectionValues {
 public:
  // The stored text of `key`, names compared without regard to case; nothing when absent.
  std::optional<std::string> String(std::string_view key) const;
  // The key's integer, read like the Windows profile: leading decimal digits after white space
  // and an optional sign ("12abc" is 12, "abc" is 0), saturated to the int range; nothing when
  // the key is absent or empty.
  std::optional<int> Int(std::string_view key) const;

 private:
  friend class Profile;
  std::vector<ProfileEntry> m_entries;
};

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

  // One Dutch line naming the file and why it could not be read (a directory, a FIFO, a loop of
  // links, a missing directory, no permission); "" when it was read or does not exist yet.
  std::string ReadProblem() const;

  // The keys of `section` now. The file is parsed once for each change on disk.
  SectionValues ReadSection(std::string_view section);
  // One key, as SectionValues reads it; the default when it is absent or empty.
  int GetInt(std::string_view section, std::string_view key, int defaultValue);
  std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue);

  // Reads the file again, changes one key and replaces the file atomically, under a lock that
  // other writers of the file (this program's second copy included) share, waiting up to 10 s
  // for it. Only the value on the key's line changes (a missing key or section is added); every
  // other byte of the file stays. The errno (generic category) when the file could not be written,
  // the old file then intact: EINVAL for a name or value that would not read back as written (a
  // line break, a NUL, "=" in a key, "]" in a section), EIO for a file whose nonsense would hide
  // the new line. Nothing when it was written.
  std::error_code WriteInt(std::string_view section, std::string_view key, int value);
  std::error_code WriteString(std::string_view section, std::string_view key, std::string_view value);
  // The keys given, in their order, in one replacement of the file.
  std::error_code WriteSection(std::string_view section, std::span<const ProfileEntry> entries);
  // WriteSection on the profile's one writer thread, in the order asked, so that the caller never
  // waits for the lock; then `done` with 0 or the errno, on that thread. Once the profile is being
  // destroyed no `done` is called, and writes still asked are made only when the lock is free at
  // once. Destroy the profile before what `done` reaches, or let its writes finish first.
  void WriteSectionLater(std::string section, std::vector<ProfileEntry> entries, std::function<void(int error)> done);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace horavex
