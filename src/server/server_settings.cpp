#include "server/server_settings.h"

#include <array>
#include <climits>

#include "common/profile.h"

namespace horavex {
namespace {

constexpr std::array<ServerKindInfo, kServerKindCount> kInfo{{
    {"TIME SERVER TCP", "Server Time TCP", 37},
    {"TIME SERVER UDP", "Server Time UDP", 37},
    {"DAYTIME SERVER TCP", "Server DayTime TCP", 13},
    {"DAYTIME SERVER UDP", "Server DayTime UDP", 13},
}};

}  // namespace

const ServerKindInfo& InfoOf(ServerKind kind) { return kInfo[static_cast<std::size_t>(kind) % kInfo.size()]; }

ServerSettings::ServerSettings(Profile& profile, ServerKind kind) : profile_(profile), info_(InfoOf(kind)) {}

unsigned ServerSettings::Port() const {
  return static_cast<unsigned>(profile_.GetInt(info_.section, "Port", static_cast<int>(info_.defaultPort)));
}

bool ServerSettings::StartUp() const { return profile_.GetInt(info_.section, "StartUp", 0) != 0; }

bool ServerSettings::WritePort(unsigned port) {
  // The profile holds signed numbers; what does not fit is stored as a value no server binds.
  return profile_.WriteInt(info_.section, "Port", port > INT_MAX ? -1 : static_cast<int>(port));
}

bool ServerSettings::WriteStartUp(bool startUp) { return profile_.WriteInt(info_.section, "StartUp", startUp ? 1 : 0); }

int ServerSettings::LastError() const { return profile_.LastError(); }

}  // namespace horavex
