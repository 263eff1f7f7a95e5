// The five time clients and the four time servers, by protocol and transport.
#pragma once

#include <array>
#include <cstdint>

namespace horavex {

enum class ClientKind : std::uint32_t { TimeTcp = 0, TimeUdp = 1, DaytimeTcp = 2, DaytimeUdp = 3, SntpUdp = 4 };
enum class ServerKind : std::uint32_t { TimeTcp = 0, TimeUdp = 1, DaytimeTcp = 2, DaytimeUdp = 3 };

inline constexpr int kClientKindCount = 5;
inline constexpr int kServerKindCount = 4;

// Every kind, in kind order: the order of the dashboard and of start-up.
inline constexpr std::array<ServerKind, kServerKindCount> kServerKinds{
    ServerKind::TimeTcp, ServerKind::TimeUdp, ServerKind::DaytimeTcp, ServerKind::DaytimeUdp};
inline constexpr std::array<ClientKind, kClientKindCount> kClientKinds{
    ClientKind::TimeTcp, ClientKind::TimeUdp, ClientKind::DaytimeTcp, ClientKind::DaytimeUdp, ClientKind::SntpUdp};

// True for the kinds that talk over UDP.
constexpr bool IsDatagram(ClientKind k) {
  return k == ClientKind::TimeUdp || k == ClientKind::DaytimeUdp || k == ClientKind::SntpUdp;
}
constexpr bool IsDatagram(ServerKind k) { return k == ServerKind::TimeUdp || k == ServerKind::DaytimeUdp; }

}  // namespace horavex
