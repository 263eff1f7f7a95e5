#include "server/server_settings.h"

#include <array>

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

ServerSettings ServerSettings::Load(Profile& profile, ServerKind kind) {
  ServerSettings s{InfoOf(kind).defaultPort};
  LoadSection(profile, InfoOf(kind).section, s);
  return s;
}

}  // namespace horavex
