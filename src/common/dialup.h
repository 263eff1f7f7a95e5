// Whether a request may use the network: over a LAN, over a modem connection that is already
// up, or over one that is dialled before the request and hung up after it.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <asio/any_io_executor.hpp>
#include <asio/async_result.hpp>
#include <asio/execution/outstanding_work.hpp>
#include <asio/post.hpp>
#include <asio/prefer.hpp>

#include "platform/dialup_port.h"

namespace horavex {

// Dial attempts while the connection reports busy, before the dial counts as failed; the pause
// between two; and the time after which no further attempt starts.
inline constexpr int kMaxDialAttempts = 20;
inline constexpr std::chrono::milliseconds kDialRetryPause{100};
inline constexpr std::chrono::seconds kMaxDialTime{60};

// The one dial-up connection this program dialled, shared by all clients.
struct DialupState {
  DialHandle m_dialConnection = 0;
};

// The arguments of one ManageDialup call.
//
// Not an aggregate on purpose: g++ 12 miscompiles an aggregate temporary with a std::string in it
// when it is passed by value inside a co_await expression (it is copied bitwise and destroyed
// twice), which is how Manage is called from a request. Build one with the factories or field by field.
struct DialupRequest {
  DialupRequest() = default;
  DialupRequest(bool connectArg, bool dialWhenNeededArg, bool testOnlyArg, std::string nameArg)
      : connect(connectArg), dialWhenNeeded(dialWhenNeededArg), testOnly(testOnlyArg), name(std::move(nameArg)) {}

  // The check before a synchronisation request, for "CheckConnect" and "Connection": mode 0 asks
  // for a network of any kind, 2 dials when needed, any other mode needs the modem connection.
  static DialupRequest BeforeRequest(int checkConnect, std::string connection) {
    if (checkConnect == 0) return DialupRequest(true, false, true, std::string());
    return DialupRequest(true, checkConnect == 2, false, std::move(connection));
  }
  // The hang-up at the end of every request that passed the check.
  static DialupRequest AfterRequest() { return DialupRequest(false, false, false, std::string()); }

  bool connect = true;
  bool dialWhenNeeded = false;
  bool testOnly = false;
  std::string name;
};

// With connect false: hangs up a connection this program dialled, and returns true. With test
// only: true when there is a network connection of any kind. Otherwise true when a modem
// connection is up or, with dial when needed, could be dialled (a connection still held from an
// earlier dial, which is down since there is no modem connection, is hung up first).
bool ManageDialup(DialupPort& port, DialupState& state, const DialupRequest& request);
// True when the connection goes over a modem.
bool IsModemConnected(DialupPort& port);
// Dials, trying again every kDialRetryPause while the connection is busy (at most
// kMaxDialAttempts attempts, none started after kMaxDialTime); false with the handle 0 when it
// failed.
bool DialConnection(DialupPort& port, const std::string& name, DialHandle& handle);

// Runs ManageDialup one call at a time in the order asked: a call that may wait (a modem test, a
// dial, a hang-up) on a thread of its own, so that a slow dial never blocks the logic thread; a
// network test, and a hang-up with nothing held, on the logic thread, where they cost no thread
// switch. Call it from the logic thread only.
class DialupService {
 public:
  // Completions run on `logic`.
  DialupService(std::unique_ptr<DialupPort> port, asio::any_io_executor logic);
  // Cancels a dial in progress, completes the requests still queued (a dial among them fails)
  // and joins the thread. A connection still held stays up: only the end of a request hangs up.
  // Destroy the service before the logic executor's context.
  ~DialupService();
  DialupService(const DialupService&) = delete;
  DialupService& operator=(const DialupService&) = delete;

  // Runs `request` and completes with void(bool) on the logic executor, never before this
  // returns, in the order asked, whatever executor the token carries.
  template <typename Token>
  auto Manage(DialupRequest request, Token&& token) {
    return asio::async_initiate<Token, void(bool)>(
        [this](auto handler, DialupRequest req) {
          auto logic = asio::prefer(m_logic, asio::execution::outstanding_work.tracked);
          // Queue needs a copyable callable; the handler itself may only be moved.
          auto shared = std::make_shared<decltype(handler)>(std::move(handler));
          Queue(std::move(req), [logic, shared](bool ok) {
            asio::post(logic, [shared, ok]() mutable {
              // Invoked as an object of its own: an awaitable's handler must not outlive its call
              // inside storage that is freed later.
              auto h = std::move(*shared);
              std::move(h)(ok);
            });
          });
        },
        token, std::move(request));
  }

 private:
  void Queue(DialupRequest request, std::function<void(bool)> done);

  asio::any_io_executor m_logic;
  struct Impl;
  std::shared_ptr<Impl> m_impl;  // shared with what the dial-up thread posts back
};

}  // namespace horavex
