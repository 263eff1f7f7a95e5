// The settings that all clients and the main window share (section "COMMON"): how the network
// is reached, the dial-up connection's name, the four chime files and the status icon. Their users load them at
// each use, so a change made by the settings window or by hand takes effect at the next one.
#pragma once

#include <string>
#include <string_view>

#include "common/profile_section.h"

namespace horavex {

// The seven keys, in the order they are written.
struct CommonSettings {
  static constexpr std::string_view kSection = "COMMON";

  // 0: over the LAN, 1: test the modem connection, 2: test, dial and hang up. Any other value is
  // kept as stored (and acts as 1).
  int m_checkConnect = 0;
  std::string m_connection;  // the dial-up connection to test and dial
  // The .wav files of the chimes at hh:00, hh:15, hh:30 and hh:45; empty for no chime.
  std::string m_sound00;
  std::string m_sound15;
  std::string m_sound30;
  std::string m_sound45;
  // The status icon in the panel: 0 off, anything else on.
  int m_statusIcon = 1;

  // Reads the profile each time it is called.
  static CommonSettings Load(Profile& profile) {
    CommonSettings c;
    LoadSection(profile, kSection, c);
    return c;
  }

  template <class Self, class Visit>
  static void ForEachKey(Self& s, Visit&& visit) {
    visit("CheckConnect", s.m_checkConnect);
    visit("Connection", s.m_connection);
    visit("PlaySound_00", s.m_sound00);
    visit("PlaySound_15", s.m_sound15);
    visit("PlaySound_30", s.m_sound30);
    visit("PlaySound_45", s.m_sound45);
    visit("StatusIcon", s.m_statusIcon);
  }
};

}  // namespace horavex
