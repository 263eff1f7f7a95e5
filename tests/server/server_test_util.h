// What the server tests share: the executors in both arrangements, a view that remembers, and
// loopback clients that the shared probes do not offer (a chosen source port, reset vs. end).
#pragma once

#include <chrono>
#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

#include "common/executors.h"
#include "server/server_view.h"

namespace horavex::testing {

using namespace std::chrono_literals;

// Same: one io_context runs sockets and logic, on the test thread (the headless front end).
// Split: the sockets run on a thread of their own, the logic on the test thread (the window).
enum class Threads { Same, Split };

class ServerLoop {
 public:
  explicit ServerLoop(Threads threads);
  ~ServerLoop();
  ServerLoop(const ServerLoop&) = delete;
  ServerLoop& operator=(const ServerLoop&) = delete;

  Executors Get();
  // Runs the logic side for `duration`.
  void Run(std::chrono::milliseconds duration);
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
  asio::executor_work_guard<asio::io_context::executor_type> logicWork_;
  std::optional<asio::io_context> io_;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> ioWork_;
  std::thread ioThread_;
};

// A server view that remembers what it was shown.
class RecordingServerView : public ServerView {
 public:
  void ShowRequestLog(const std::string& text) override { logs.push_back(text), messages = text; }
  void ShowError(const std::string& text) override { errors.push_back(text), messages = text; }
  void SetRequestText(const std::string& text) override { requestTexts.push_back(text); }
  std::string RequestText() const { return requestTexts.empty() ? "" : requestTexts.back(); }

  std::vector<std::string> logs, errors, requestTexts;
  std::string messages;  // the messages field: the latest log or error
};

// The zone every server test runs in; set before any thread starts, never changed.
void UseTestZone();

// A UDP socket on 127.0.0.1 (or `source`, a loopback address) and `sourcePort` (0: any).
class UdpPeer {
 public:
  explicit UdpPeer(std::uint16_t sourcePort = 0, const char* source = "127.0.0.1");
  ~UdpPeer();
  UdpPeer(const UdpPeer&) = delete;
  UdpPeer& operator=(const UdpPeer&) = delete;
  bool Valid() const { return fd_ >= 0; }
  std::uint16_t Port() const { return port_; }
  void Send(std::uint16_t port, const std::string& payload);
  // Every datagram that arrives within `bound`.
  std::vector<std::string> Receive(std::chrono::milliseconds bound, std::size_t stopAfter = SIZE_MAX);

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

// A TCP connection to 127.0.0.1:port that may send before it reads.
class TcpPeer {
 public:
  explicit TcpPeer(std::uint16_t port);
  ~TcpPeer();
  TcpPeer(const TcpPeer&) = delete;
  TcpPeer& operator=(const TcpPeer&) = delete;
  bool Connected() const { return connected_; }
  std::uint16_t LocalPort() const;
  void Send(const std::string& bytes);
  struct Outcome {
    std::string received;
    bool ended = false;  // a clean end of the connection (read returned 0)
    int error = 0;       // the errno that ended reading instead (ECONNRESET: a reset)
  };
  // Reads until the end of the connection, an error or `bound`.
  Outcome ReadAll(std::chrono::milliseconds bound = 3s);

 private:
  int fd_ = -1;
  bool connected_ = false;
};

}  // namespace horavex::testing
