#include "common/dialup.h"

namespace horavex {

bool ManageDialup(DialupPort& port, DialupState& state, const DialupRequest& request) {
  if (!request.connect) {
    if (state.g_hDialConnection != 0) {
      port.HangUp(state.g_hDialConnection);
      state.g_hDialConnection = 0;
    }
    return true;
  }
  if (request.testOnly) {
    unsigned flags = 0;
    return port.GetConnectedState(flags);
  }
  if (IsModemConnected(port)) return true;
  if (!request.dialWhenNeeded) return false;
  // A held connection without a modem connection has dropped: release it before dialling anew,
  // so that nothing of it is left behind when the new handle replaces it.
  if (state.g_hDialConnection != 0) {
    port.HangUp(state.g_hDialConnection);
    state.g_hDialConnection = 0;
  }
  return DialConnection(port, request.name, state.g_hDialConnection);
}

bool IsModemConnected(DialupPort& port) {
  unsigned flags = 0;
  port.GetConnectedState(flags);  // the flags count even when there is no connection
  return (flags & kConnectionModem) != 0;
}

bool DialConnection(DialupPort& port, const std::string& name, DialHandle& handle) {
  const auto start = port.Now();
  int result = port.Dial(name, handle);
  for (int attempt = 1; result == kErrorNoConnection && attempt < kMaxDialAttempts; ++attempt) {
    if (port.Now() - start >= kMaxDialTime) break;
    port.Pause(kDialRetryPause);
    result = port.Dial(name, handle);
  }
  if (result == 0) return true;
  handle = 0;
  return false;
}

}  // namespace horavex
