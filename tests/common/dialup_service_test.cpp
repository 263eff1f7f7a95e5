#include <asio/bind_executor.hpp>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/io_context.hpp>
#include <asio/use_awaitable.hpp>

#include <chrono>
#include <future>
#include <atomic>
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
const DialupRequest kLanCheck = DialupRequest::BeforeRequest(0, "");

// A client's mode-2 request covers dialling and hanging up through the service; here what it cannot.
TEST(DialupServiceTest, DestructionHangsUpAConnectionStillHeld) {
  FakeDialupPort fake;
  {
    DialupService service(std::make_unique<SharedPort>(fake));
    std::promise<bool> dialled;
    service.Manage(kDial, [&](bool ok) { dialled.set_value(ok); });
    auto result = dialled.get_future();
    ASSERT_EQ(result.wait_for(5s), std::future_status::ready);
    ASSERT_TRUE(result.get());
  }
  EXPECT_EQ(fake.HungUp(), (std::vector<DialHandle>{1}));
}

TEST(DialupServiceTest, AsyncManageCompletesOnTheCallersExecutor) {
  FakeDialupPort fake;
  fake.SetConnected(true, 0);
  fake.ScriptDials({5});
  DialupService service(std::make_unique<SharedPort>(fake));
  asio::io_context io;
  std::vector<std::pair<bool, std::thread::id>> done;
  asio::co_spawn(
      io,
      [&]() -> asio::awaitable<void> {
        // The request, with its name, crosses co_await by value: a miscompiled copy frees it twice.
        const bool ok = co_await service.AsyncManage(DialupRequest::BeforeRequest(0, "ignored"), asio::use_awaitable);
        done.emplace_back(ok, std::this_thread::get_id());
      },
      asio::detached);
  service.AsyncManage(kDial,
                      asio::bind_executor(io, [&](bool ok) { done.emplace_back(ok, std::this_thread::get_id()); }));
  io.run_for(5s);
  // The coroutine asks once the context runs, after the dial was asked for.
  const auto here = std::this_thread::get_id();
  EXPECT_EQ(done, (std::vector<std::pair<bool, std::thread::id>>{{false, here}, {true, here}}));
}

TEST(DialupServiceTest, ACallAnsweredHereNeverOvertakesAnEarlierCompletion) {
  FakeDialupPort fake;
  fake.SetConnected(true, 0);
  DialupService service(std::make_unique<SharedPort>(fake));
  std::atomic<int> next{0}, dialAt{0}, checkAt{0};
  std::promise<void> inFirst, releaseFirst, secondDone;
  service.Manage(kDial, [&](bool) {
    inFirst.set_value();
    releaseFirst.get_future().wait_for(5s);
    dialAt = ++next;
  });
  ASSERT_EQ(inFirst.get_future().wait_for(5s), std::future_status::ready);
  service.Manage(kLanCheck, [&](bool) {
    checkAt = ++next;
    secondDone.set_value();
  });
  releaseFirst.set_value();
  ASSERT_EQ(secondDone.get_future().wait_for(5s), std::future_status::ready);
  EXPECT_EQ(dialAt, 1);
  EXPECT_EQ(checkAt, 2);
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
