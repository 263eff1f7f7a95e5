// Wire formats of the Time, Daytime and SNTP protocols: what the clients send, how they decode
// what comes back, and what the servers answer.
//
// Every answer a client accepts passes through calendar seconds, so valid answers lie between
// 1970 and 2038-01-19 03:14:07 UTC.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>

#include "protocol/kinds.h"

namespace horavex {

// Seconds from 1900-01-01 to 1970-01-01 (RFC 868), and its complement modulo 2^32.
inline constexpr std::uint32_t kSeconds1900To1970 = 2208988800u;
inline constexpr std::uint32_t kSeconds1900To1970Complement = 2085978496u;

inline constexpr std::size_t kAnswerSize = 62;  // the client's answer area
inline constexpr std::size_t kNtpPacketSize = 48;
inline constexpr std::uint8_t kSntpRequestByte0 = 0x1B;  // LI 0, version 3, mode 3 (client)

using AnswerArea = std::array<std::uint8_t, kAnswerSize>;
using NtpPacket = std::array<std::uint8_t, kNtpPacketSize>;

// The datagram the Time and Daytime clients send over UDP.
inline constexpr std::array<std::uint8_t, 2> kUdpRequest{'Q', 'Z'};

// The SNTP request: byte 0 = 0x1B, bytes 40-47 the OLE automation date as a little-endian double.
NtpPacket MakeSntpRequest(double oleDate);

// A decoded answer: its calendar seconds, their UTC breakdown and, for SNTP, the milliseconds.
struct DecodedTime {
  std::tm utc{};
  std::int32_t calendarSeconds = 0;
  std::int32_t milliseconds = -1;  // -1: the answer carries no fraction
};
// Decodes an answer area (zero beyond what was received) of `kind`; nothing when the answer is
// no valid time.
std::optional<DecodedTime> DecodeAnswer(ClientKind kind, std::span<const std::uint8_t, kAnswerSize> answer);

// 0 when `received` may be taken as the SNTP server's answer to `request`; otherwise why not:
// 1 shorter than 48 bytes, 2 a zero transmit timestamp, 3 stratum 0 (kiss-o'-death), 4 an
// originate timestamp that is not the request's transmit timestamp (an answer to another request,
// or no SNTP answer at all), 5 a zero receive timestamp (no time to work the offset out from).
int SntpRefusal(std::span<const std::uint8_t> received, std::span<const std::uint8_t> request);
// The refusal of an answer whose round trip works out below zero: its times cannot all be true.
inline constexpr int kSntpNegativeDelay = 6;

// The answer a server sends now: 4 bytes for Time, 25 bytes of Daytime text (plus an unsent zero).
struct ServerAnswer {
  std::array<std::uint8_t, 26> bytes{};
  std::size_t length = 0;
  std::span<const std::uint8_t> Span() const { return {bytes.data(), length}; }
};
// The answer of `kind` for Unix time `now`.
ServerAnswer MakeServerAnswer(ServerKind kind, std::int64_t now);

// The Daytime line for a local breakdown: "Www Mmm DD hh:mm:ss YYYY\n", the day zero-padded.
std::string DaytimeLine(const std::tm& local);

}  // namespace horavex
