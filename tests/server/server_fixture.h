// What the server tests share: the executors in both arrangements, a view that remembers, a
// simulated clock at a fixed instant, and servers bound to free ports on 127.0.0.1.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

#include "common/profile.h"
#include "platform/simulated_clock.h"
#include "server/time_server.h"
#include "support/loopback_probe.h"
#include "support/temp_dir.h"

namespace horavex::testing {

using namespace std::chrono_literals;

// Same: one io_context runs sockets and logic, on the test thread (the headless front end).
// Split: the sockets run on a thread of their own, the logic on the test thread (the window).
enum class Threads { Same, Split };

class ServerLoop {
 public:
  explicit ServerLoop(Threads threads) {
    if (threads == Threads::Same) return;
    io_.emplace();
    ioWork_.emplace(io_->get_executor());
    ioThread_ = std::thread([this] { io_->run(); });
  }
  ~ServerLoop() {
    if (!io_) return;
    ioWork_.reset();
    io_->stop();
    ioThread_.join();
  }
  Executors Get() { return {io_ ? io_->get_executor() : logic_.get_executor(), logic_.get_executor()}; }
  void Run(std::chrono::milliseconds duration) { logic_.run_for(duration); }
  // Runs the logic side until `done` holds or `bound` passes; the final `done`.
  template <class Pred>
  bool RunUntil(Pred done, std::chrono::milliseconds bound = 3s) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done() && std::chrono::steady_clock::now() < deadline) Run(5ms);
    return done();
  }
  // Runs the blocking `client` on a thread of its own while the logic side runs; its result.
  template <class F>
  auto Call(F client) -> decltype(client()) {
    auto result = std::async(std::launch::async, std::move(client));
    while (result.wait_for(0s) != std::future_status::ready) Run(2ms);
    return result.get();
  }

 private:
  asio::io_context logic_;
  asio::executor_work_guard<asio::io_context::executor_type> logicWork_{logic_.get_executor()};
  std::optional<asio::io_context> io_;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> ioWork_;
  std::thread ioThread_;
};

class RecordingServerView : public ServerView {
 public:
  void ShowRequestLog(const std::string& text) override { logs.push_back(text), messages = text; }
  void ShowError(const std::string& text) override { errors.push_back(text), messages = text; }
  void SetRequestText(const std::string& text) override { requestTexts.push_back(text); }

  std::vector<std::string> logs, errors, requestTexts;
  std::string messages;  // the messages field: the latest log or error
};

class ServerFixture {
 protected:
  // 2003-01-01 00:00:00.250 UTC: Time C1 BC AE 00; in CET the Daytime text of 01:00:00.
  static constexpr UnixMillis kNow = 1041379200250;

  explicit ServerFixture(Threads threads) {
    // Set before the io thread starts, never changed.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    loop.emplace(threads);
  }
  // A server of `kind` on 127.0.0.1, not started, on `port` (0: the port of the profile).
  std::unique_ptr<TimeServer> Make(ServerKind kind, unsigned port = 0, ServerView* v = nullptr) {
    auto server = std::make_unique<TimeServer>(kind, ServerServices{loop->Get(), profile, clock}, v ? *v : view,
                                               asio::ip::make_address_v4("127.0.0.1"));
    if (port != 0) server->SetPort(port);
    return server;
  }
  // A server of `kind` started on a free port; another process may take a port first.
  std::unique_ptr<TimeServer> Started(ServerKind kind, ServerView* v = nullptr) {
    auto server = Make(kind, 0, v);
    for (int i = 0; i < 8 && !server->Running(); ++i) server->SetPort(FreePort()), server->StartServer();
    EXPECT_TRUE(server->Running());
    return server;
  }
  bool StatusBecomes(const TimeServer& server, const std::string& text) {
    return loop->RunUntil([&] { return server.GetStatusText() == text; });
  }

  TempDir dir;
  Profile profile{dir.File("horavex.ini")};
  ManualTimeSource time{kNow};
  SimulatedClock clock{time.Source()};
  RecordingServerView view;
  std::optional<ServerLoop> loop;
};

}  // namespace horavex::testing
