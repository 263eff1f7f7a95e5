// A time client wired to fakes: a clock that only moves when the test moves it, a scripted
// dial-up port, a profile in a private folder and a view that records what it was shown.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include <asio/io_context.hpp>

#include "client/time_client.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "platform/simulated_clock.h"
#include "recording_view.h"
#include "support/fake_dialup_port.h"
#include "support/temp_dir.h"

namespace horavex::testing {

// 2026-12-06 12:00:00.500 UTC, a Sunday.
inline constexpr std::int64_t kNow = 1796558400;

class ClientTest : public ::testing::Test {
 protected:
  ClientTest() { setenv("TZ", "UTC0", 1), tzset(); }

  // A client of `kind` asking 127.0.0.1:`port`, quick to give up, showing no warning boxes.
  std::unique_ptr<TimeClient> MakeClient(ClientKind kind, unsigned port, RecordingView& view, Clock* clock = nullptr,
                                         asio::any_io_executor io = {}) {
    auto c = std::make_unique<TimeClient>(
        kind, ClientServices{{io ? io : io_.get_executor(), io_.get_executor()}, profile_, clock ? *clock : clock_, dialup_},
        view);
    c->Settings().m_strServer = "127.0.0.1";
    c->Settings().m_nPort = port;
    c->Settings().m_nWarnLevel = 0;
    c->SetTimeout(std::chrono::milliseconds(400));
    c->SetLastSyncObserver([this](ClientKind by, std::int64_t at) { lastSyncs_.emplace_back(by, at); });
    return c;
  }

  // Runs the logic until `done` holds; false when 10 seconds pass first.
  template <typename Done>
  bool RunUntil(Done done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    io_.restart();
    while (!done()) {
      if (std::chrono::steady_clock::now() > limit) return false;
      io_.run_one_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  // One whole request of `client`; fails the test when it does not finish.
  void Synchro(TimeClient& client) {
    client.DoSynchro();
    ASSERT_TRUE(RunUntil([&] { return !client.IsRequestActive(); })) << "request did not finish";
  }

  TempDir dir_;
  Profile profile_{dir_.File("horavex.ini")};
  ManualTimeSource time_{kNow * 1000 + 500};
  SimulatedClock clock_{time_.Source()};
  std::vector<std::pair<ClientKind, std::int64_t>> lastSyncs_;  // what the observers were told
  asio::io_context io_;
  FakeDialupPort* port_ = new FakeDialupPort;
  DialupService dialup_{std::unique_ptr<DialupPort>(port_), io_.get_executor()};
};

}  // namespace horavex::testing
