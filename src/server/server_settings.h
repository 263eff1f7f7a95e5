// What a time server is configured with: its section of the profile, its title and its two keys.
#pragma once

#include <string_view>

#include "protocol/kinds.h"

namespace horavex {

class Profile;

// Per-kind constants: profile section, window title and the port used when none is saved.
struct ServerKindInfo {
  std::string_view section;
  std::string_view title;
  unsigned defaultPort;
};
const ServerKindInfo& InfoOf(ServerKind kind);

// The keys "Port" and "StartUp" of one server's section; each key with its default on one line.
class ServerSettings {
 public:
  ServerSettings(Profile& profile, ServerKind kind);

  // The saved port; a negative value reads as a port above 65535, which no server binds.
  unsigned Port() const;
  // Whether the server is enabled, that is started with the program.
  bool StartUp() const;
  // Write one key; false when the profile could not be written (LastError() holds the errno).
  bool WritePort(unsigned port);
  bool WriteStartUp(bool startUp);
  int LastError() const;

 private:
  Profile& profile_;
  const ServerKindInfo& info_;
};

}  // namespace horavex
