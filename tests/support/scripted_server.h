// A misbehaving Time, Daytime or SNTP server for the clients' loopback tests: it answers each
// request as its script says and records what it received, on its own thread and io_context.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "support/server_script.h"

namespace horavex::testing {

class ScriptedServer {
 public:
  // Binds 127.0.0.1, port 0, for the script's transport and serves until destroyed.
  explicit ScriptedServer(Script script);
  // Stops serving and joins the thread; open connections are dropped.
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  // The port it listens on.
  std::uint16_t Port() const;
  // How many requests (TCP connections, UDP datagrams) have arrived.
  std::size_t RequestCount() const;
  // The bytes of each request in order of arrival; for TCP all that arrived on that connection.
  std::vector<Bytes> Requests() const;
  // True once at least `count` requests have arrived; false when `bound` passes first.
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds bound) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace horavex::testing
