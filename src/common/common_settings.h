// The settings that all clients and the main window share (section "COMMON"): how the network
// is reached, the dial-up connection's name and the four chime files. Each read goes back to the
// profile, so a change made by the settings window or by hand takes effect at the next use.
#pragma once

#include <string>
#include <string_view>

#include "common/profile.h"

namespace horavex {

class CommonSettings {
 public:
  static constexpr std::string_view kSection = "COMMON";

  explicit CommonSettings(Profile& profile) : profile_(profile) {}

  // 0: over the LAN, 1: test the modem connection, 2: test, dial and hang up. Any other value is
  // kept as stored (and acts as 1).
  int CheckConnect() const { return profile_.GetInt(kSection, "CheckConnect", 0); }
  // The dial-up connection to test and dial.
  std::string Connection() const { return profile_.GetString(kSection, "Connection", ""); }
  // The .wav files of the chimes at hh:00, hh:15, hh:30 and hh:45; empty for no chime.
  std::string PlaySound00() const { return profile_.GetString(kSection, "PlaySound_00", ""); }
  std::string PlaySound15() const { return profile_.GetString(kSection, "PlaySound_15", ""); }
  std::string PlaySound30() const { return profile_.GetString(kSection, "PlaySound_30", ""); }
  std::string PlaySound45() const { return profile_.GetString(kSection, "PlaySound_45", ""); }

  // Each writes one key; false when the profile could not be written (Profile::LastError).
  bool SetCheckConnect(int mode) const { return profile_.WriteInt(kSection, "CheckConnect", mode); }
  bool SetConnection(std::string_view name) const { return profile_.WriteString(kSection, "Connection", name); }
  bool SetPlaySound00(std::string_view file) const { return profile_.WriteString(kSection, "PlaySound_00", file); }
  bool SetPlaySound15(std::string_view file) const { return profile_.WriteString(kSection, "PlaySound_15", file); }
  bool SetPlaySound30(std::string_view file) const { return profile_.WriteString(kSection, "PlaySound_30", file); }
  bool SetPlaySound45(std::string_view file) const { return profile_.WriteString(kSection, "PlaySound_45", file); }

 private:
  Profile& profile_;
};

}  // namespace horavex
