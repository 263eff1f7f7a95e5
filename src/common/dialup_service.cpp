#include <asio/post.hpp>
#include <asio/thread_pool.hpp>

#include "common/dialup.h"

namespace horavex {

struct DialupService::Impl {
  explicit Impl(std::unique_ptr<DialupPort> p) : port(std::move(p)) {}
  std::unique_ptr<DialupPort> port;
  DialupState state;  // only touched on the pool's one thread
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

void DialupService::Manage(DialupRequest request, std::function<void(bool)> done) {
  asio::post(impl_->pool, [impl = impl_.get(), request = std::move(request), done = std::move(done)] {
    const bool ok = ManageDialup(*impl->port, impl->state, request.connect, request.dialWhenNeeded,
                                 request.testOnly, request.name);
    if (done) done(ok);
  });
}

}  // namespace horavex
