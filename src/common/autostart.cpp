#include "common/autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <system_error>

#include <glib.h>

namespace horavex {
namespace {

constexpr const char* kProgram = "horavex";
constexpr const char* kGroup = "Desktop Entry";
// A desktop entry is a few hundred bytes; anything larger is not ours to parse.
constexpr std::size_t kMaxEntryBytes = 64 * 1024;

// The file's bytes, or nothing for what is not a regular file (a FIFO must not block the window).
bool ReadSmallFile(const std::filesystem::path& path, std::string& bytes, bool& exists) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  exists = fd >= 0 || (errno != ENOENT && errno != ENOTDIR);
  if (fd < 0) return false;
  struct stat st{};
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) <= kMaxEntryBytes;
  std::array<char, 4096> chunk{};
  for (ssize_t n = 0; ok && (n = read(fd, chunk.data(), chunk.size())) != 0;) {
    ok = n > 0 && bytes.size() + static_cast<std::size_t>(n) <= kMaxEntryBytes;
    if (ok) bytes.append(chunk.data(), static_cast<std::size_t>(n));
  }
  close(fd);
  return ok;
}

bool IsOurs(const std::string& exec) {
  return exec == std::string(kProgram) + " HIDE" || exec == std::string(kProgram) + " NOSHOW";
}

// Writes `text` to a new file beside `path` and renames it over `path`: a crash leaves the old
// entry or the new one, and a link at `path` is replaced, never followed.
int WriteAtomically(const std::filesystem::path& path, const std::string& text) {
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  if (error) return error.value();
  std::string temp = path.string() + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return errno;
  bool ok = fchmod(fd, 0644) == 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
            fsync(fd) == 0;
  int saved = ok ? 0 : errno;
  if (close(fd) != 0 && ok) ok = false, saved = errno;
  if (ok && rename(temp.c_str(), path.c_str()) != 0) ok = false, saved = errno;
  if (!ok) unlink(temp.c_str());
  return ok ? 0 : (saved ? saved : EIO);
}

}  // namespace

std::filesystem::path AutostartEntry::DefaultPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  // A relative XDG_CONFIG_HOME counts as unset, as every desktop reads it.
  std::filesystem::path base;
  if (config && config[0] == '/') base = config;
  else if (home && home[0] == '/') base = std::filesystem::path(home) / ".config";
  else return {};
  return base / "autostart" / "nl.horavex.Horavex.desktop";
}

AutostartEntry AutostartEntry::Read(const std::filesystem::path& path) {
  AutostartEntry entry;
  std::string bytes;
  bool exists = false;
  const bool read = ReadSmallFile(path, bytes, exists);
  if (!exists) return entry;
  entry.state = State::Disabled;
  std::unique_ptr<GKeyFile, decltype(&g_key_file_free)> keys(g_key_file_new(), g_key_file_free);
  if (!read || !g_key_file_load_from_data(keys.get(), bytes.data(), bytes.size(), G_KEY_FILE_NONE, nullptr) ||
      !g_key_file_has_group(keys.get(), kGroup))
    return entry;
  const auto flag = [&](const char* key, bool absent) {
    GError* error = nullptr;
    const bool value = g_key_file_get_boolean(keys.get(), kGroup, key, &error);
    if (error) g_error_free(error);
    return error ? absent : value;
  };
  if (char* exec = g_key_file_get_string(keys.get(), kGroup, "Exec", nullptr)) entry.exec = exec, g_free(exec);
  if (!flag("Hidden", false) && flag("X-GNOME-Autostart-enabled", true)) entry.state = State::Enabled;
  return entry;
}

std::string AutostartEntry::Text(std::string_view startWord) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Horavex\n"
         "Comment=Keeps the clock right with time servers, started hidden at login\n"
         "Comment[nl]=Houdt de klok gelijk met tijdservers, verborgen gestart bij het aanmelden\n"
         "Exec=" + std::string(kProgram) + " " + std::string(startWord) + "\n"
         "Icon=nl.horavex.Horavex\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

int ApplyAutostart(const std::filesystem::path& path, bool shown, bool wanted, std::string_view startWord) {
  if (path.empty()) return wanted != shown ? ENOENT : 0;
  if (wanted && !shown) return WriteAtomically(path, AutostartEntry::Text(startWord));
  if (!wanted && shown) return unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
  if (!wanted) return 0;
  const AutostartEntry entry = AutostartEntry::Read(path);
  const std::string exec = std::string(kProgram) + " " + std::string(startWord);
  if (entry.state != AutostartEntry::State::Enabled || !IsOurs(entry.exec) || entry.exec == exec) return 0;
  return WriteAtomically(path, AutostartEntry::Text(startWord));
}

}  // namespace horavex
