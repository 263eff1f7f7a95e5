// What a scripted test server answers: named scripts for the misbehaviours the clients must survive.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "support/loopback_probe.h"

namespace horavex::testing {

enum class Transport { Tcp, Udp };

// What the server does with every request (a TCP connection or a UDP datagram).
struct Script {
  Transport transport = Transport::Udp;
  // Sent after `delay`, TCP then closing; none: silent, TCP holding the connection until the server stops.
  std::optional<Bytes> answer;
  std::chrono::milliseconds delay{0};

  static Script Answer(Transport t, Bytes answer);
  static Script Silent(Transport t);
  // `answer` after `delay`: a slow server.
  static Script Slow(Transport t, std::chrono::milliseconds delay, Bytes answer);
  // 3 bytes, fewer than any valid answer.
  static Script TooShort(Transport t);
  // `answer` with its first byte made 0.
  static Script FirstByteZero(Transport t, Bytes answer);
  // 100 bytes (one datagram over UDP), more than the 62 a client keeps.
  static Script Oversized(Transport t);
  // A good SNTP answer for `unixSeconds` but leap indicator 3 (not synchronised).
  static Script SntpLeapAlarm(std::int64_t unixSeconds);
  // Exactly 62 bytes: spaces, then `text` ending at the last byte, so that the client's 62-byte
  // area holds no terminating zero.
  static Script DaytimeUnterminated(Transport t, std::string_view text);
  // `length` bytes of fixed pseudo-random garbage, the first byte not 0.
  static Script Garbage(Transport t, std::size_t length);
};

// A Time answer: 4 bytes, seconds since 1900 big-endian.
Bytes TimeAnswer(std::int64_t unixSeconds);
// An SNTP server answer (mode 4, stratum 2) whose transmit timestamp is `unixSeconds` plus
// `milliseconds` (0-999, decoding back to the same value); `byte0` sets leap indicator, version, mode.
Bytes SntpAnswer(std::int64_t unixSeconds, int milliseconds, std::uint8_t byte0 = 0x1C);
// The bytes of a Daytime text, as they are.
Bytes DaytimeAnswer(std::string_view text);

}  // namespace horavex::testing
