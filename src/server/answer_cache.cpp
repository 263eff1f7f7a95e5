#include "server/answer_cache.h"

namespace horavex {

std::span<const std::uint8_t> AnswerCache::At(std::int64_t now) {
  if (now != m_second) {
    m_answer = MakeServerAnswer(m_kind, now);
    m_second = now;
  }
  return m_answer.Span();
}

}  // namespace horavex
