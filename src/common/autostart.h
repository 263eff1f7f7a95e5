// The autostart entry: the desktop entry in the user's autostart folder that starts Horavex
// hidden with the session (`$XDG_CONFIG_HOME/autostart/nl.horavex.Horavex.desktop`, else
// `~/.config/autostart/`). The settings window shows whether it is there and enabled, and writes
// or removes it on OK. The installed program's own desktop entry is never touched.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace horavex {

struct AutostartEntry {
  enum class State { Absent, Enabled, Disabled };
  State state = State::Absent;
  std::string exec;  // its Exec line, "" when absent or not an entry

  // Where the entry lives for this user, from the environment; empty without HOME and XDG_CONFIG_HOME.
  static std::filesystem::path DefaultPath();
  // Reads the entry at `path`. Disabled: Hidden=true, X-GNOME-Autostart-enabled=false, or not a
  // readable desktop entry (a session would not start it either).
  static AutostartEntry Read(const std::filesystem::path& path);
  // The entry Horavex writes: it starts `horavex <startWord>`.
  static std::string Text(std::string_view startWord);
};

// What OK does with the check box: `shown` is what the box showed when the window opened (the
// entry enabled), `wanted` what it shows now. Checked anew: our entry is written. Unchecked anew:
// the entry is removed. Unchanged: only an entry of ours (Exec "horavex HIDE" or "horavex NOSHOW")
// is brought to `startWord`; an entry of the user's own, enabled or disabled, is left as it is.
// Written atomically (temporary file, rename), never through a link at the entry's place.
// Returns 0 or the errno.
int ApplyAutostart(const std::filesystem::path& path, bool shown, bool wanted, std::string_view startWord);

}  // namespace horavex
