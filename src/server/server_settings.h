// What a time server is configured with: its section of the profile, its title and its two keys.
#pragma once

#include <string_view>

#include "common/profile_section.h"
#include "protocol/kinds.h"

namespace horavex {

// Per-kind constants: profile section, window title and the port used when none is saved.
struct ServerKindInfo {
  std::string_view section;
  std::string_view title;
  unsigned defaultPort;
};
const ServerKindInfo& InfoOf(ServerKind kind);

// The keys "Port" and "StartUp" of one server's section, in the order they are written.
struct ServerSettings {
  unsigned m_port = 0;  // Load starts from the kind's default port; above 65535 no server binds
  bool m_startUp = false;

  static ServerSettings Load(Profile& profile, ServerKind kind);

  template <class Self, class Visit>
  static void ForEachKey(Self& s, Visit&& visit) {
    visit("Port", s.m_port);
    visit("StartUp", s.m_startUp);
  }
};

}  // namespace horavex
