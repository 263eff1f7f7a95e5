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

TEST(DialupService, CompletionsRunOnTheLogicExecutorInTheOrderAsked) {
  auto fake = std::make_unique<FakeDialupPort>();
  fake->dials = {5};
  asio::io_context logic, other;
  DialupService service(std::move(fake), logic.get_executor());
  std::vector<std::pair<bool, std::thread::id>> done;
  const auto record = [&](bool ok) { done.emplace_back(ok, std::this_thread::get_id()); };
  // A dial, then a network test: the test must not overtake the slower dial, and a completion
  // bound to another executor still runs on the logic one.
  service.Manage(DialupRequest::BeforeRequest(2, "Provider"), asio::bind_executor(other, record));
  asio::co_spawn(
      logic,
      // The request, with its name, crosses co_await by value: a miscompiled copy frees it twice.
      [&]() -> asio::awaitable<void> { record(co_await service.Manage(DialupRequest::BeforeRequest(0, "x"), asio::use_awaitable)); },
      asio::detached);
  std::thread otherThread([&] { other.run_for(1s); });
  logic.run_for(1s);
  otherThread.join();
  const auto here = std::this_thread::get_id();
  EXPECT_EQ(done, (std::vector<std::pair<bool, std::thread::id>>{{false, here}, {true, here}}));
}

TEST(DialupService, DestructionCancelsADialCompletesTheQueueAndLeavesAHeldLineUp) {
  auto owned = std::make_unique<FakeDialupPort>();
  FakeDialupPort& fake = *owned;
  const auto log = fake.log;
  fake.modemFollowsDial = true;
  asio::io_context logic;
  std::vector<bool> results;
  const auto record = [&](bool ok) { results.push_back(ok); };
  auto service = std::make_unique<DialupService>(std::move(owned), logic.get_executor());
  service->Manage(DialupRequest::BeforeRequest(2, "Provider"), record);
  logic.run_for(1s);
  fake.connected = false, fake.flags = 0, fake.dialBlocks = 30s;  // the line drops; a new dial hangs
  service->Manage(DialupRequest::BeforeRequest(2, "Provider"), record);
  service->Manage(DialupRequest::BeforeRequest(2, "Provider"), record);
  while (fake.Calls().size() < 2) std::this_thread::sleep_for(1ms);
  const auto start = std::chrono::steady_clock::now();
  service.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  logic.restart();
  logic.run_for(1s);
  EXPECT_EQ(results, (std::vector<bool>{true, false, false})) << "queued calls complete, dials fail";
  EXPECT_EQ(log->calls, (std::vector<std::string>{"dial Provider", "hangup 1", "cancel", "dial Provider", "dial Provider"}));
}

}  // namespace
}  // namespace horavex::testing
