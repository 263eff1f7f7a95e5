#include "server/reflection_guard.h"

#include <array>
#include <atomic>

namespace horavex {
namespace {

// A process runs four UDP servers at most in the program; tests run a few more.
std::array<std::atomic<std::uint16_t>, 16> g_ownPorts{};

}  // namespace

bool IsReflectorPort(std::uint16_t port) {
  switch (port) {
    case 0:
    case 7:
    case 13:
    case 19:
    case 37:
    case 123:
      return true;
    default:
      return false;
  }
}

bool LooksLikeAnswer(std::span<const std::uint8_t> datagram, bool cut) {
  if (datagram.size() == 4) return true;
  if (datagram.size() < 20 || (!cut && datagram.back() != '\n')) return false;
  for (const std::uint8_t c : datagram) {
    if ((c < 0x20 || c > 0x7E) && c != '\r' && c != '\n' && c != '\t') return false;
  }
  return true;
}

bool OwnUdpPorts::Add(std::uint16_t port) {
  if (port == 0) return true;
  for (auto& slot : g_ownPorts) {
    std::uint16_t expected = 0;
    if (slot.compare_exchange_strong(expected, port)) return true;
  }
  return false;
}

void OwnUdpPorts::Remove(std::uint16_t port) {
  if (port == 0) return;
  for (auto& slot : g_ownPorts) {
    std::uint16_t expected = port;
    if (slot.compare_exchange_strong(expected, 0)) return;
  }
}

bool OwnUdpPorts::Contains(std::uint16_t port) {
  if (port == 0) return false;  // an empty slot
  for (const auto& slot : g_ownPorts) {
    if (slot.load(std::memory_order_relaxed) == port) return true;
  }
  return false;
}

}  // namespace horavex
