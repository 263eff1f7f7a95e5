#include <gtest/gtest.h>

#include <future>
#include <thread>

#include <asio/bind_executor.hpp>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>
#include <asio/use_awaitable.hpp>

#include "common/dialup.h"
#include "support/fake_dialup_port.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;

// Lets a test look at the fake after the service that owns the port is gone.
class SharedPort final : public DialupPort {
 public:
  explicit SharedPort(FakeDialupPort& fake) : fake_(fake) {}
  bool GetConnectedState(unsigned& flags) override { return fake_.GetConnectedState(flags); }
  int Dial(const std::string& name, DialHandle& handle) override { return fake_.Dial(name, handle); }
  void HangUp(DialHandle handle) override { fake_.HangUp(handle); }
  void Pause(std::chrono::milliseconds d) override { fake_.Pause(d); }
  void Cancel() override { fake_.Cancel(); }
  std::chrono::steady_clock::time_point Now() override { return fake_.Now(); }

 private:
  FakeDialupPort& fake_;
};

TEST(DialupServiceTest, CompletionsRunOnTheLogicExecutorInTheOrderAsked) {
  FakeDialupPort fake;
  fake.dials = {5};
  asio::io_context logic, other;
  DialupService service(std::make_unique<SharedPort>(fake), logic.get_executor());
  std::vector<std::pair<bool, std::thread::id>> done;
  const auto record = [&](bool ok) { done.emplace_back(ok, std::this_thread::get_id()); };
  // A dial, then a network test: the test must not overtake the slower dial.
  service.Manage(DialupRequest::BeforeRequest(2, "Provider"), asio::bind_executor(other, record));
  asio::co_spawn(
      logic,
      [&]() -> asio::awaitable<void> {
        // The request, with its name, crosses co_await by value: a miscompiled copy frees it twice.
        record(co_await service.Manage(DialupRequest::BeforeRequest(0, "ignored"), asio::use_awaitable));
      },
      asio::detached);
  std::thread otherThread([&] { other.run_for(1s); });
  logic.run_for(1s);
  otherThread.join();
  const auto here = std::this_thread::get_id();
  EXPECT_EQ(done, (std::vector<std::pair<bool, std::thread::id>>{{false, here}, {true, here}}));
}

TEST(DialupServiceTest, DestructionCancelsADialCompletesTheQueueAndLeavesAHeldLineUp) {
  FakeDialupPort fake;
  fake.modemFollowsDial = true;
  asio::io_context logic;
  std::vector<bool> results;
  auto service = std::make_unique<DialupService>(std::make_unique<SharedPort>(fake), logic.get_executor());
  const auto record = [&](bool ok) { results.push_back(ok); };
  service->Manage(DialupRequest::BeforeRequest(2, "Provider"), record);
  logic.run_for(1s);
  ASSERT_EQ(results, std::vector<bool>{true});
  fake.connected = false, fake.flags = 0, fake.dialBlocks = 30s;  // the line drops; a new dial hangs
  service->Manage(DialupRequest::BeforeRequest(2, "Provider"), record);
  service->Manage(DialupRequest::BeforeRequest(2, "Provider"), record);
  while (fake.Log().size() < 2) std::this_thread::sleep_for(1ms);
  const auto start = std::chrono::steady_clock::now();
  service.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  logic.restart();
  logic.run_for(1s);
  EXPECT_EQ(results, (std::vector<bool>{true, false, false})) << "queued calls complete, dials fail";
  EXPECT_EQ(fake.Log(), (std::vector<std::string>{"dial Provider", "hangup 1", "cancel", "dial Provider",
                                                  "dial Provider"}));
}

}  // namespace
}  // namespace horavex::testing
