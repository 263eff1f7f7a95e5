// Which datagrams a UDP server leaves unanswered, so that one forged datagram cannot set two
// services answering each other for ever (the echo/chargen loop).
//
// Two guards. The source port catches the well-known services and our own servers in this
// process. The content catches the rest, on any port and on any machine: a datagram that is
// itself an answer (a Time value, a line of Daytime or chargen text, or our own answer sent back
// by an echo service) is never a request, so refusing it ends the exchange at the first answer
// that comes back. Requests as RFC 868 and RFC 867 describe them (an empty datagram, or a few
// bytes such as our clients' "QZ") are always answered, at any rate: a per-source rate limit
// would also stop a loop, but cannot tell it from one busy client asking in a closed loop.
#pragma once

#include <cstdint>
#include <span>

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

// True when `datagram` (as received; `cut`: it was longer) is itself an answer of a time or
// character service: exactly 4 bytes (a Time value), or 20 or more bytes of printable text that
// end in a line feed or were cut off (a Daytime line, a chargen line).
bool LooksLikeAnswer(std::span<const std::uint8_t> datagram, bool cut);

// True when a datagram from `sourcePort` must not be answered.
inline bool MustNotAnswer(std::uint16_t sourcePort, std::span<const std::uint8_t> datagram, bool cut) {
  return IsReflectorPort(sourcePort) || OwnUdpPorts::Contains(sourcePort) || LooksLikeAnswer(datagram, cut);
}

}  // namespace horavex
