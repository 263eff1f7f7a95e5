// Clock::SetSystemTimeAsync as an Asio operation: the completion runs on the executor of the
// one who waits (the logic thread), whatever thread the clock finished on.
#pragma once

#include <memory>
#include <utility>

#include <asio/associated_executor.hpp>
#include <asio/async_result.hpp>
#include <asio/post.hpp>

#include "platform/clock.h"

namespace horavex {

// Sets the clock as `setting` says; completes with the ClockSetResult.
template <typename CompletionToken>
auto AsyncSetClock(Clock& clock, const ClockSetting& setting, CompletionToken&& token) {
  return asio::async_initiate<CompletionToken, void(ClockSetResult)>(
      [&clock, setting](auto handler) {
        // std::function needs a copyable callable; the handler may only move.
        auto shared = std::make_shared<decltype(handler)>(std::move(handler));
        clock.SetSystemTimeAsync(setting, [shared](ClockSetResult result) {
          auto ex = asio::get_associated_executor(*shared);
          asio::post(ex, [shared, result]() mutable { std::move (*shared)(result); });
        });
      },
      token);
}

}  // namespace horavex
