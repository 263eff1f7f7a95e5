// Whether a request may use the network: over a LAN, over a modem connection that is already
// up, or over one that is dialled before the request and hung up after it.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <asio/any_io_executor.hpp>
#include <asio/associated_executor.hpp>
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
  DialHandle g_hDialConnection = 0;
};

// With connect false: hangs up a connection this program dialled, and returns true. With test
// only: true when there is a network connection of any kind. Otherwise true when a modem
// connection is up or, with dial when needed, could be dialled (a connection still held from an
// earlier dial, which is down since there is no modem connection, is hung up first).
bool ManageDialup(DialupPort& port, DialupState& state, bool connect, bool dialWhenNeeded, bool testOnly,
                  const std::string& name);
// True when the connection goes over a modem.
bool IsModemConnected(DialupPort& port, const std::string& name);
// Dials, trying again every kDialRetryPause while the connection is busy (at most
// kMaxDialAttempts attempts, none started after kMaxDialTime); false with the handle 0 when it
// failed.
bool DialConnection(DialupPort& port, const std::string& name, DialHandle& handle);

// The arguments of one ManageDialup call.
//
// Not an aggregate on purpose: g++ 12 miscompiles an aggregate temporary with a std::string in it
// when it is passed by value inside a co_await expression (it is copied bitwise and destroyed
// twice), which is how AsyncManage is called. Build one with the factories or field by field.
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

// Runs ManageDialup on a thread of its own, one call at a time in the order asked, so that a
// slow dial never blocks the thread that asked. The state lives on that thread.
class DialupService {
 public:
  explicit DialupService(std::unique_ptr<DialupPort> port);
  // Cancels a dial in progress, completes the requests still queued (a dial among them fails),
  // hangs up a connection that is still held and joins the thread. Destroy the service before
  // the executors that its completions run on.
  ~DialupService();
  DialupService(const DialupService&) = delete;
  DialupService& operator=(const DialupService&) = delete;

  // The result, when the call can be answered at once on the calling thread: a network test or
  // a hang-up with nothing held, while nothing is queued before it. Nothing otherwise.
  std::optional<bool> TryManageHere(const DialupRequest& request);

  // Calls `done` with the result: at once on the calling thread when TryManageHere can answer,
  // otherwise on the dial-up thread; completions come in the order asked. Call it (and
  // TryManageHere) from one thread, the logic thread.
  void Manage(DialupRequest request, std::function<void(bool)> done);

  // Asio form: completes with void(bool) on the caller's associated executor.
  template <typename Token>
  auto AsyncManage(DialupRequest request, Token&& token) {
    return asio::async_initiate<Token, void(bool)>(
        [this](auto handler, DialupRequest req) {
          auto ex = asio::prefer(asio::get_associated_executor(handler),
                                 asio::execution::outstanding_work.tracked);
          // std::function needs a copyable callable; the handler itself may only be moved.
          auto shared = std::make_shared<decltype(handler)>(std::move(handler));
          Manage(std::move(req), [ex, shared](bool ok) {
            asio::post(ex, [shared, ok]() mutable {
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
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace horavex
