#include <atomic>

#include <asio/post.hpp>
#include <asio/thread_pool.hpp>

#include "common/dialup.h"

namespace horavex {

struct DialupService::Impl {
  explicit Impl(std::unique_ptr<DialupPort> p) : port(std::move(p)) {}
  std::unique_ptr<DialupPort> port;
  DialupState state;                // only touched on the pool's one thread
  std::atomic<bool> holding{false};  // state holds a dialled connection
  std::atomic<int> queued{0};        // calls posted to the thread and not yet done
  asio::thread_pool pool{1};
};

DialupService::DialupService(std::unique_ptr<DialupPort> port) : impl_(std::make_unique<Impl>(std::move(port))) {}

DialupService::~DialupService() {
  impl_->port->Cancel();
  // Dialled for a request that will not finish now: a dial-up connection is not left up.
  asio::post(impl_->pool, [impl = impl_.get()] {
    ManageDialup(*impl->port, impl->state, false, false, false, std::string());
  });
  impl_->pool.join();
}

std::optional<bool> DialupService::TryManageHere(const DialupRequest& request) {
  // Around every request on a LAN the calls are a network test, which reads no state, and a
  // hang-up with nothing held. While nothing is queued before them they are answered here,
  // sparing each request two trips to the dial-up thread; the order asked stays the order run.
  if (impl_->queued.load() != 0) return std::nullopt;
  if (request.connect && request.testOnly) {
    DialupState none;
    return ManageDialup(*impl_->port, none, true, false, true, request.name);
  }
  if (!request.connect && !impl_->holding.load()) return true;
  return std::nullopt;
}

void DialupService::Manage(DialupRequest request, std::function<void(bool)> done) {
  if (const std::optional<bool> now = TryManageHere(request)) {
    if (done) done(*now);
    return;
  }
  ++impl_->queued;
  asio::post(impl_->pool, [impl = impl_.get(), request = std::move(request), done = std::move(done)] {
    const bool ok = ManageDialup(*impl->port, impl->state, request.connect, request.dialWhenNeeded,
                                 request.testOnly, request.name);
    impl->holding = impl->state.g_hDialConnection != 0;
    if (done) done(ok);
    // Only now: a later call answered on its caller's thread must not overtake this completion.
    --impl->queued;
  });
}

}  // namespace horavex
