// A profile in a fresh directory, a recording view and the executors, for tests that make servers
// bound to 127.0.0.1.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "common/profile.h"
#include "server/time_server.h"
#include "server_test_util.h"
#include "support/temp_dir.h"

namespace horavex::testing {

class ServerFixture {
 protected:
  explicit ServerFixture(Threads threads) {
    UseTestZone();  // before the io thread starts
    loop.emplace(threads);
  }

  // A server of `kind` on 127.0.0.1 and `port` (0: any free port), not started.
  std::unique_ptr<TimeServer> Make(ServerKind kind, unsigned port = 0, ServerView* v = nullptr) {
    auto server = std::make_unique<TimeServer>(kind, profile, loop->Get(), v ? *v : view,
                                               asio::ip::make_address_v4("127.0.0.1"));
    server->SetPort(port);
    return server;
  }
  // Runs the logic side until the server's status text is `text`.
  bool StatusBecomes(const TimeServer& server, const std::string& text) {
    return loop->RunUntil([&] { return server.GetStatusText() == text; });
  }

  TempDir dir;
  Profile profile{dir.File("horavex.ini")};
  RecordingServerView view;
  std::optional<ServerLoop> loop;
};

}  // namespace horavex::testing
