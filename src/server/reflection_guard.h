// Which datagrams a UDP server leaves unanswered, so that one forged datagram cannot set two
// services answering each other for ever (the echo/chargen loop).
#pragma once

#include <cstdint>

namespace horavex {

// True for source port 0 and for the ports of services that answer unsolicited datagrams
// themselves: echo 7, daytime 13, chargen 19, time 37, NTP 123.
bool IsReflectorPort(std::uint16_t port);

// The ports our own UDP servers in this process are bound to; they answer anything too.
// Safe from any thread.
class OwnUdpPorts {
 public:
  // Adds a port; false when the table is full (the port is then not guarded).
  static bool Add(std::uint16_t port);
  // Removes one entry of the port.
  static void Remove(std::uint16_t port);
  static bool Contains(std::uint16_t port);
};

// True when a datagram from `sourcePort` must not be answered.
inline bool MustNotAnswer(std::uint16_t sourcePort) {
  return IsReflectorPort(sourcePort) || OwnUdpPorts::Contains(sourcePort);
}

}  // namespace horavex
