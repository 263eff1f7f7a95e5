// The text that takes a client's last answer apart: the hexadecimal bytes and, per protocol,
// the fields they hold.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "protocol/kinds.h"
#include "protocol/sntp_offset.h"
#include "protocol/wire_formats.h"

namespace horavex {

// False when the area holds no answer (bytes 0, 1, 2 and 4 all zero; byte 3 is not looked at).
bool HasAnswer(std::span<const std::uint8_t, kAnswerSize> answer);

// "Type client: ...", the dump of the answer's bytes and the fields of `kind`,
// lines ending in CR LF. Reads at most the 62 bytes of the area. Always valid UTF-8: in a Daytime
// text, bytes that are no text show as \xNN, and its heading says so.
std::string BuildDump(ClientKind kind, std::span<const std::uint8_t, kAnswerSize> answer);

// What the information window shows: the dump, or "Geen informatie aanwezig" without an answer.
std::string InfoText(ClientKind kind, std::span<const std::uint8_t, kAnswerSize> answer);

// The lines that follow an SNTP answer's fields: the four times of the exchange as the fields show
// timestamps, the round trip (delta) and the clock's offset (theta) in seconds.
std::string SntpTimesText(const SntpTimes& times);

// InfoText, with the times of the exchange after an SNTP answer's fields when `times` is given.
std::string InfoText(ClientKind kind, std::span<const std::uint8_t, kAnswerSize> answer, const SntpTimes* times);

}  // namespace horavex
