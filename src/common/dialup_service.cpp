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

DialupService::DialupService(std::unique_ptr<DialupPort> port, asio::any_io_executor logic)
    : logic_(std::move(logic)), impl_(std::make_unique<Impl>(std::move(port))) {}

DialupService::~DialupService() {
  // The calls still queued run against a cancelled port: a dial among them fails at once.
  impl_->port->Cancel();
  impl_->pool.join();
}

void DialupService::Queue(DialupRequest request, std::function<void(bool)> done) {
  asio::post(impl_->pool, [impl = impl_.get(), request = std::move(request), done = std::move(done)] {
    done(ManageDialup(*impl->port, impl->state, request));
  });
}

}  // namespace horavex
