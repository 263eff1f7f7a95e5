// The dial-up policy over a fake port, and the service that runs it off the logic thread.
#include "common/dialup.h"

#include <gtest/gtest.h>

#include <thread>

#include <asio/bind_executor.hpp>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>

#include "support/fake_dialup_port.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;
using Calls = std::vector<std::string>;

TEST(ManageDialup, EachModeAsksForItsKindOfConnectionWithoutDialling) {
  FakeDialupPort port;
  DialupState state;
  for (const auto& [mode, connected, modem, expected] :
       {std::tuple{0, true, false, true}, {0, false, true, false},  // mode 0: any network, the modem does not count
        {1, true, false, false}, {1, false, true, true},  // others: the modem, even without a network
        {3, true, false, false}, {-1, false, true, true}, {2, true, true, true}}) {
    port.connected = connected, port.modem = modem;
    EXPECT_EQ(ManageDialup(port, state, DialupRequest::BeforeRequest(mode, "Provider")), expected) << mode << modem;
    EXPECT_TRUE(ManageDialup(port, state, DialupRequest::AfterRequest()));
  }
  EXPECT_EQ(port.Calls(), Calls{}) << "no dial, and a connection this program did not dial is never hung up";
}

TEST(ManageDialup, OnlyABusyConnectionIsRetriedAndTheRetriesAreBounded) {
  for (const auto& [results, dialTakes, ok, dials] :
       {std::tuple{std::deque{DialOutcome::Failed}, 0, false, 1},  // any other failure ends at once
        {{DialOutcome::Busy, DialOutcome::Busy, DialOutcome::Connected}, 0, true, 3},
        {{DialOutcome::Busy}, 0, false, kMaxDialAttempts},
        {{DialOutcome::Busy}, 25, false, 3}}) {  // the third attempt ends past kMaxDialTime
    FakeDialupPort busy;
    busy.dials = results, busy.dialTakes = std::chrono::seconds(dialTakes);
    DialHandle handle = 77;
    EXPECT_EQ(DialConnection(busy, "Provider", handle), ok) << dials;
    EXPECT_EQ(handle != 0, ok) << dials;
    Calls expected{"dial Provider"};
    for (int i = 1; i < dials; ++i) expected.insert(expected.end(), {"pause 100", "dial Provider"});
    EXPECT_EQ(busy.Calls(), expected);
  }
}

// A dial on the port's thread, then a network test on the logic thread that must wait for it (the
// network is there only once the dial is), a second request that finds the dialled modem up, two
// ends of which the first hangs up what was dialled, and a new dial that is held.
TEST(DialupService, SharesTheLineCompletesOnTheLogicThreadInOrderAndDestructionLeavesAHeldLineUp) {
  auto owned = std::make_unique<FakeDialupPort>();
  FakeDialupPort& fake = *owned;
  const auto log = fake.log;
  fake.modemFollowsDial = true, fake.connected = false, fake.dialBlocks = 100ms;  // a dial that takes a while
  asio::io_context logic, other;
  auto service = std::make_unique<DialupService>(std::move(owned), logic.get_executor());
  std::vector<std::pair<bool, std::thread::id>> done;
  const auto record = [&](bool ok) { done.emplace_back(ok, std::this_thread::get_id()); };
  // A completion bound to another executor still runs on the logic thread.
  service->Manage(DialupRequest::BeforeRequest(2, "Provider"), asio::bind_executor(other, record));
  asio::co_spawn(
      logic,
      // The requests, with their names, cross co_await by value: a miscompiled copy frees them twice.
      [&]() -> asio::awaitable<void> {
        record(co_await service->Manage(DialupRequest::BeforeRequest(0, "x"), asio::use_awaitable));
        record(co_await service->Manage(DialupRequest::BeforeRequest(2, "Provider"), asio::use_awaitable));
        record(co_await service->Manage(DialupRequest::AfterRequest(), asio::use_awaitable));
        record(co_await service->Manage(DialupRequest::AfterRequest(), asio::use_awaitable));
        record(co_await service->Manage(DialupRequest::BeforeRequest(2, "Provider"), asio::use_awaitable));
      },
      asio::detached);
  std::thread otherThread([&] { other.run_for(1s); });
  logic.run_for(1s);
  otherThread.join();
  EXPECT_EQ(done, decltype(done)(6, {true, std::this_thread::get_id()}));

  fake.connected = false, fake.modem = false, fake.dialBlocks = 30s;  // the line drops; a new dial hangs
  service->Manage(DialupRequest::BeforeRequest(2, "Provider"), record);
  service->Manage(DialupRequest::BeforeRequest(2, "Provider"), record);
  while (fake.Calls().size() < 4) std::this_thread::sleep_for(1ms);
  const auto start = std::chrono::steady_clock::now();
  service.reset();  // cancels the dial, completes the queue
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  logic.restart(), logic.run_for(1s);
  EXPECT_EQ(done.size(), 8u);
  EXPECT_FALSE(done[6].first || done[7].first) << "dials fail once cancelled";
  EXPECT_EQ(log->calls, (Calls{"dial Provider", "hangup 1", "dial Provider", "hangup 2", "cancel", "dial Provider",
                               "dial Provider"}))
      << "one dial for the shared line, and no hang-up of a line held at the end";
}

}  // namespace
}  // namespace horavex::testing
