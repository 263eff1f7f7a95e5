// The answer a server sends, made once per second: every request within one second gets the
// same bytes, so a flood does not read and format the clock for every request.
#pragma once

#include <cstdint>
#include <limits>
#include <span>

#include "protocol/kinds.h"
#include "protocol/wire_formats.h"

namespace horavex {

class AnswerCache {
 public:
  explicit AnswerCache(ServerKind kind) : m_kind(kind) {}
  // The answer of this kind at Unix time `now` (4 bytes for Time, 25 for Daytime).
  std::span<const std::uint8_t> At(std::int64_t now);

 private:
  ServerKind m_kind;
  std::int64_t m_second = std::numeric_limits<std::int64_t>::min();
  ServerAnswer m_answer;
};

}  // namespace horavex
