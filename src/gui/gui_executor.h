// The logic executor of the windowed program: work handed to it runs on the window thread, as an
// event of wx's own loop, so the logic needs neither locks nor a polling timer. Safe to use from
// any thread (the io thread posts its completions through it).
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

#include <asio/execution.hpp>
#include <asio/execution_context.hpp>
#include <wx/app.h>

namespace horavex {

class GuiExecutor {
 public:
  // `context` is owned by the application and outlives every copy of the executor.
  explicit GuiExecutor(asio::execution_context& context) noexcept : context_(&context) {}

  asio::execution_context& query(asio::execution::context_t) const noexcept { return *context_; }
  static constexpr asio::execution::blocking_t query(asio::execution::blocking_t) noexcept {
    return asio::execution::blocking.never;
  }
  GuiExecutor require(asio::execution::blocking_t::never_t) const noexcept { return *this; }

  // Queues `f` for the window thread; never runs it inline. wx copies what CallAfter is given,
  // and Asio's handlers are move-only: the handler travels in a shared_ptr.
  template <class F>
  void execute(F&& f) const {
    auto handler = std::make_shared<std::decay_t<F>>(std::forward<F>(f));
    wxTheApp->CallAfter([handler] { (*handler)(); });
  }

  friend bool operator==(const GuiExecutor& a, const GuiExecutor& b) noexcept { return a.context_ == b.context_; }
  friend bool operator!=(const GuiExecutor& a, const GuiExecutor& b) noexcept { return a.context_ != b.context_; }

 private:
  asio::execution_context* context_;
};

static_assert(asio::execution::is_executor<GuiExecutor>::value);

}  // namespace horavex
