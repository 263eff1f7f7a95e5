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
const DialupRequest kHangUp = DialupRequest::AfterRequest();

struct Completion {
  bool ok = false;
  std::thread::id thread;
};

// Asks once, as the logic thread does, and waits for the answer.
Completion ManageAndWait(DialupService& service, const DialupRequest& request) {
  std::promise<Completion> done;
  service.Manage(request, [&](bool ok) { done.set_value({ok, std::this_thread::get_id()}); });
  auto result = done.get_future();
  EXPECT_EQ(result.wait_for(5s), std::future_status::ready);
  return result.get();
}

TEST(DialupServiceTest, LanChecksStayHereDialsRunOnTheServiceThreadAndNothingStaysHeld) {
  FakeDialupPort fake;
  fake.SetConnected(true, 0);
  fake.SetModemFollowsDial(true);
  const auto here = std::this_thread::get_id();
  {
    DialupService service(std::make_unique<SharedPort>(fake));
    for (const DialupRequest& r : {kLanCheck, kHangUp}) {
      const Completion c = ManageAndWait(service, r);
      EXPECT_TRUE(c.ok);
      EXPECT_EQ(c.thread, here);
    }
    EXPECT_EQ(fake.CountOf(Kind::kHangUp), 0);
    const Completion dial = ManageAndWait(service, kDial);
    EXPECT_TRUE(dial.ok);
    EXPECT_NE(dial.thread, here);
    // With nothing queued any more, only the connection held sends the hang-up to the thread.
    for (int i = 0; i < 500 && !service.TryManageHere(kLanCheck); ++i) std::this_thread::sleep_for(1ms);
    EXPECT_NE(ManageAndWait(service, kHangUp).thread, here);
    EXPECT_EQ(fake.HungUp(), (std::vector<DialHandle>{1}));
    ASSERT_TRUE(ManageAndWait(service, kDial).ok);  // still held when the service goes
  }
  EXPECT_EQ(fake.HungUp(), (std::vector<DialHandle>{1, 2}));
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
