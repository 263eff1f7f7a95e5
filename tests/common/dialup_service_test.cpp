#include <gtest/gtest.h>

#include <thread>

#include <asio/bind_executor.hpp>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>

#include "common/dialup.h"
#include "support/fake_dialup_port.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;

TEST(DialupService, CompletesOnTheLogicThreadInOrderAndDestructionLeavesAHeldLineUp) {
  auto owned = std::make_unique<FakeDialupPort>();
  FakeDialupPort& fake = *owned;
  const auto log = fake.log;
  fake.modemFollowsDial = true;
  asio::io_context logic, other;
  auto service = std::make_unique<DialupService>(std::move(owned), logic.get_executor());
  std::vector<std::pair<bool, std::thread::id>> done;
  const auto record = [&](bool ok) { done.emplace_back(ok, std::this_thread::get_id()); };
  // A dial, then a network test that must not overtake it; a completion bound to another
  // executor still runs on the logic thread.
  service->Manage(DialupRequest::BeforeRequest(2, "Provider"), asio::bind_executor(other, record));
  asio::co_spawn(
      logic,
      // The request, with its name, crosses co_await by value: a miscompiled copy frees it twice.
      [&]() -> asio::awaitable<void> { record(co_await service->Manage(DialupRequest::BeforeRequest(0, "x"), asio::use_awaitable)); },
      asio::detached);
  std::thread otherThread([&] { other.run_for(1s); });
  logic.run_for(1s);
  otherThread.join();
  const auto here = std::this_thread::get_id();
  EXPECT_EQ(done, (std::vector<std::pair<bool, std::thread::id>>{{true, here}, {true, here}}));

  fake.connected = false, fake.flags = 0, fake.dialBlocks = 30s;  // the line drops; a new dial hangs
  service->Manage(DialupRequest::BeforeRequest(2, "Provider"), record);
  service->Manage(DialupRequest::BeforeRequest(2, "Provider"), record);
  while (fake.Calls().size() < 2) std::this_thread::sleep_for(1ms);
  const auto start = std::chrono::steady_clock::now();
  service.reset();  // cancels the dial, completes the queue
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  logic.restart(), logic.run_for(1s);
  EXPECT_EQ(done.size(), 4u);
  EXPECT_FALSE(done[2].first || done[3].first) << "dials fail once cancelled";
  EXPECT_EQ(log->calls, (std::vector<std::string>{"dial Provider", "hangup 1", "cancel", "dial Provider", "dial Provider"}))
      << "no hang-up of a line held at the end";
}

}  // namespace
}  // namespace horavex::testing
