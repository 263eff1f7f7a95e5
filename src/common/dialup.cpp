#include "common/dialup.h"

namespace horavex {

bool ManageDialup(DialupPort& port, DialupState& state, const DialupRequest& request) {
  if (!request.connect) {
    if (state.m_dialConnection != 0) {
      port.HangUp(state.m_dialConnection);
      state.m_dialConnection = 0;
    }
    return true;
  }
  if (request.testOnly) return port.GetConnectedState().connected;
  if (IsModemConnected(port)) return true;
  if (!request.dialWhenNeeded) return false;
  // A held connection without a modem connection has dropped: release it before dialling anew,
  // so that nothing of it is left behind when the new handle replaces it.
  if (state.m_dialConnection != 0) {
    port.HangUp(state.m_dialConnection);
    state.m_dialConnection = 0;
  }
  return DialConnection(port, request.name, state.m_dialConnection);
}

bool IsModemConnected(DialupPort& port) {
  return port.GetConnectedState().modem;  // also when the connection is not up
}

bool DialConnection(DialupPort& port, const std::string& name, DialHandle& handle) {
  const auto start = port.Now();
  DialResult result = port.Dial(name);
  for (int attempt = 1; result.outcome == DialOutcome::Busy && attempt < kMaxDialAttempts; ++attempt) {
    if (port.Now() - start >= kMaxDialTime) break;
    port.Pause(kDialRetryPause);
    result = port.Dial(name);
  }
  handle = result.outcome == DialOutcome::Connected ? result.handle : 0;
  return handle != 0;
}

}  // namespace horavex
