#include <asio/bind_executor.hpp>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>
#include <asio/use_awaitable.hpp>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "common/dialup.h"
#include "platform/null/fake_dialup_port.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;
using Kind = FakeDialupPort::Kind;

// Lets a test keep looking at the fake after the service that owns the port is gone.
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

const DialupRequest kDial = DialupRequest::BeforeRequest(2, "Provider");
const DialupRequest kHangUp = DialupRequest::AfterRequest();

TEST(DialupServiceTest, AsyncManageCompletesOnTheCallersExecutor) {
  FakeDialupPort fake;
  fake.SetConnected(true, 0);
  fake.ScriptDials({5});
  DialupService service(std::make_unique<SharedPort>(fake));
  asio::io_context io;
  const auto ioThread = std::this_thread::get_id();
  std::vector<bool> results;
  std::vector<std::thread::id> threads;

  asio::co_spawn(
      io,
      [&]() -> asio::awaitable<void> {
        results.push_back(co_await service.AsyncManage(DialupRequest::BeforeRequest(0, "ignored"), asio::use_awaitable));
        threads.push_back(std::this_thread::get_id());
      },
      asio::detached);
  service.AsyncManage(kDial, asio::bind_executor(io, [&](bool ok) {
                        results.push_back(ok);
                        threads.push_back(std::this_thread::get_id());
                      }));
  io.run_for(5s);

  // The coroutine asks once the context runs, after the dial was asked for.
  EXPECT_EQ(results, (std::vector<bool>{false, true}));
  ASSERT_EQ(threads.size(), 2u);
  for (auto id : threads) EXPECT_EQ(id, ioThread);
}

TEST(DialupServiceTest, RequestsRunInOrderOnTheServiceThread) {
  FakeDialupPort fake;
  fake.SetModemFollowsDial(true);
  std::promise<void> allDone;
  std::mutex mutex;
  std::vector<bool> results;
  std::vector<std::thread::id> threads;
  {
    DialupService service(std::make_unique<SharedPort>(fake));
    const DialupRequest sequence[] = {kDial, kHangUp, kDial, kHangUp};
    for (std::size_t i = 0; i < std::size(sequence); ++i)
      service.Manage(sequence[i], [&, last = i + 1 == std::size(sequence)](bool ok) {
        std::lock_guard lock(mutex);
        results.push_back(ok);
        threads.push_back(std::this_thread::get_id());
        if (last) allDone.set_value();
      });
    ASSERT_EQ(allDone.get_future().wait_for(5s), std::future_status::ready);
  }
  EXPECT_EQ(results, (std::vector<bool>{true, true, true, true}));
  EXPECT_EQ(fake.HungUp(), (std::vector<DialHandle>{1, 2}));
  for (auto id : threads) {
    EXPECT_NE(id, std::this_thread::get_id());
    EXPECT_EQ(id, threads.front());
  }
}

TEST(DialupServiceTest, LanChecksAreAnsweredWithoutTheThreadWhenNothingIsQueued) {
  FakeDialupPort fake;
  fake.SetConnected(true, 0);
  DialupService service(std::make_unique<SharedPort>(fake));
  std::vector<std::thread::id> threads;
  const auto record = [&](bool ok) {
    EXPECT_TRUE(ok);
    threads.push_back(std::this_thread::get_id());
  };
  service.Manage(DialupRequest::BeforeRequest(0, ""), record);
  service.Manage(kHangUp, record);
  ASSERT_EQ(threads.size(), 2u) << "both answered before Manage returned";
  for (auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_EQ(fake.CountOf(FakeDialupPort::Kind::kHangUp), 0) << "nothing was held, so nothing to hang up";
}

TEST(DialupServiceTest, ACallAnsweredHereNeverOvertakesAnEarlierCompletion) {
  FakeDialupPort fake;
  fake.SetConnected(true, 0);
  DialupService service(std::make_unique<SharedPort>(fake));
  std::mutex mutex;
  std::vector<std::string> order;
  std::promise<void> inFirstDone, releaseFirst;
  auto release = releaseFirst.get_future();
  service.Manage(kDial, [&](bool) {
    inFirstDone.set_value();
    release.wait_for(5s);
    std::lock_guard lock(mutex);
    order.push_back("dial");
  });
  ASSERT_EQ(inFirstDone.get_future().wait_for(5s), std::future_status::ready);
  std::promise<void> secondDone;
  service.Manage(DialupRequest::BeforeRequest(0, ""), [&](bool) {
    {
      std::lock_guard lock(mutex);
      order.push_back("test");
    }
    secondDone.set_value();
  });
  releaseFirst.set_value();
  ASSERT_EQ(secondDone.get_future().wait_for(5s), std::future_status::ready);
  EXPECT_EQ(order, (std::vector<std::string>{"dial", "test"}));
}

TEST(DialupServiceTest, DestructionHangsUpAConnectionStillHeld) {
  FakeDialupPort fake;
  std::promise<bool> dialled;
  {
    DialupService service(std::make_unique<SharedPort>(fake));
    service.Manage(kDial, [&](bool ok) { dialled.set_value(ok); });
    auto result = dialled.get_future();
    ASSERT_EQ(result.wait_for(5s), std::future_status::ready);
    ASSERT_TRUE(result.get());
  }
  EXPECT_EQ(fake.HungUp(), (std::vector<DialHandle>{1}));
}

TEST(DialupServiceTest, DestructionCancelsADialInProgress) {
  FakeDialupPort fake;
  fake.SetDialsBlockUntilCancel(30s);
  std::promise<bool> blocked;
  auto service = std::make_unique<DialupService>(std::make_unique<SharedPort>(fake));
  service->Manage(kDial, [&](bool ok) { blocked.set_value(ok); });
  const auto start = std::chrono::steady_clock::now();
  service.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_TRUE(fake.Cancelled());
  EXPECT_FALSE(blocked.get_future().get());
  EXPECT_EQ(fake.CountOf(Kind::kDial), 1);
  EXPECT_EQ(fake.CountOf(Kind::kHangUp), 0);
}

}  // namespace
}  // namespace horavex
