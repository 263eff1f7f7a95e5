// What a scripted test server does with each request: when it answers, with which bytes, and
// whether it hangs up. Named scripts cover the misbehaviours the clients must survive.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "support/loopback_probe.h"

namespace horavex::testing {

enum class Transport { Tcp, Udp };

// The server's part in one request: a TCP connection or a UDP datagram.
struct Reply {
  std::chrono::milliseconds delay{0};  // before sending; may well exceed the client's deadline
  std::vector<Bytes> sends;            // TCP: written in order; UDP: one datagram each. None: silent
  bool keepOpen = false;               // TCP: after sending, hold the connection until the server stops
};

struct Script {
  Transport transport = Transport::Udp;
  std::vector<Reply> replies;  // reply i answers request i, the last one every later request; none: silent

  // Answers with `answer` at once; over TCP then closes.
  static Script Answer(Transport t, Bytes answer);
  // Takes every request and never answers; over TCP holds the connection open.
  static Script Silent(Transport t);
  // Answers with `answer` after `delay`; over TCP then closes.
  static Script Slow(Transport t, std::chrono::milliseconds delay, Bytes answer);
  // Answers with 3 bytes, fewer than any valid answer.
  static Script TooShort(Transport t);
  // Answers with `answer` whose first byte is made 0.
  static Script FirstByteZero(Transport t, Bytes answer);
  // Answers with 100 bytes (one datagram over UDP), more than the 62 a client keeps.
  static Script Oversized(Transport t);
  // Answers with a good SNTP answer for `unixSeconds` but leap indicator 3 (not synchronised).
  static Script SntpLeapAlarm(std::int64_t unixSeconds);
  // Answers with exactly 62 bytes: spaces, then `text` ending at the last byte, so that the
  // client's 62-byte area holds no terminating zero.
  static Script DaytimeUnterminated(Transport t, std::string_view text);
  // Answers with `length` bytes of fixed pseudo-random garbage, the first byte not 0.
  static Script Garbage(Transport t, std::size_t length);
  // Answers one UDP request with several datagrams, in order.
  static Script Datagrams(std::vector<Bytes> datagrams);
};

// A Time answer: 4 bytes, seconds since 1900 big-endian.
Bytes TimeAnswer(std::int64_t unixSeconds);
// An SNTP server answer (mode 4, stratum 2) whose transmit timestamp is `unixSeconds` plus
// `milliseconds` (0-999, decoding back to the same value); `byte0` sets leap indicator, version, mode.
Bytes SntpAnswer(std::int64_t unixSeconds, int milliseconds, std::uint8_t byte0 = 0x1C);
// The bytes of a Daytime text, as they are.
Bytes DaytimeAnswer(std::string_view text);

}  // namespace horavex::testing
