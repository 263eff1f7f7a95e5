#include <deque>
#include <utility>

#include <asio/post.hpp>
#include <asio/thread_pool.hpp>

#include "common/dialup.h"

namespace horavex {
namespace {

// Calls that neither wait nor change the state: a network test (a look at the interfaces) and a
// hang-up with nothing held. They are answered on the logic thread, which spares every request
// on a LAN two trips to the dial-up thread.
bool AnswersAtOnce(const DialupRequest& request, const DialupState& state) {
  return request.connect ? request.testOnly : state.m_dialConnection == 0;
}

}  // namespace

struct DialupService::Impl {
  Impl(std::unique_ptr<DialupPort> p, asio::any_io_executor l) : port(std::move(p)), logic(std::move(l)) {}

  // Runs the calls that wait here, in the order asked, until one has to go to the dial-up thread.
  // Logic thread only.
  void RunWaiting(const std::shared_ptr<Impl>& self);

  std::unique_ptr<DialupPort> port;
  asio::any_io_executor logic;
  // The dial-up thread's while a call runs there (`onThread`), otherwise the logic thread's.
  DialupState state;
  // Logic thread only: the calls not yet run, and whether one runs on the dial-up thread.
  std::deque<std::pair<DialupRequest, std::function<void(bool)>>> waiting;
  bool onThread = false;
  asio::thread_pool pool{1};
};

void DialupService::Impl::RunWaiting(const std::shared_ptr<Impl>& self) {
  while (!onThread && !waiting.empty()) {
    auto [request, done] = std::move(waiting.front());
    waiting.pop_front();
    if (AnswersAtOnce(request, state)) {
      // `done` posts its completion, after those of every call asked before.
      done(ManageDialup(*port, state, request));
      continue;
    }
    onThread = true;
    asio::post(pool, [this, weak = std::weak_ptr(self), request = std::move(request), done = std::move(done)] {
      done(ManageDialup(*port, state, request));
      // Posted after the completion, so the next call's completion comes after this one's.
      asio::post(logic, [weak] {
        if (auto impl = weak.lock()) {
          impl->onThread = false;
          impl->RunWaiting(impl);
        }
      });
    });
  }
}

DialupService::DialupService(std::unique_ptr<DialupPort> port, asio::any_io_executor logic)
    : m_logic(logic), m_impl(std::make_shared<Impl>(std::move(port), logic)) {}

DialupService::~DialupService() {
  // The calls still waiting run on the dial-up thread against a cancelled port, after the one
  // running there: a dial among them fails at once. Their completions are posted as ever.
  m_impl->port->Cancel();
  for (auto& [request, done] : m_impl->waiting)
    asio::post(m_impl->pool, [impl = m_impl.get(), request = std::move(request), done = std::move(done)] {
      done(ManageDialup(*impl->port, impl->state, request));
    });
  m_impl->waiting.clear();
  m_impl->pool.join();
}

void DialupService::Queue(DialupRequest request, std::function<void(bool)> done) {
  m_impl->waiting.emplace_back(std::move(request), std::move(done));
  m_impl->RunWaiting(m_impl);
}

}  // namespace horavex
