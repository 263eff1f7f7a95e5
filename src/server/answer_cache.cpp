#include "server/answer_cache.h"

namespace horavex {

std::span<const std::uint8_t> AnswerCache::At(std::int64_t now) {
  if (now != second_) {
    answer_ = MakeServerAnswer(kind_, now);
    second_ = now;
  }
  return answer_.Span();
}

}  // namespace horavex
