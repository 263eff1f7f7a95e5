// The platform's view of the network connection: is there one, does it go over a modem, and
// dialling and hanging up a named dial-up connection.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace horavex {

using DialHandle = std::uint64_t;  // 0: no connection held

inline constexpr unsigned kConnectionModem = 1;   // flag: the connection goes over a modem
inline constexpr int kErrorNoConnection = 668;    // Dial result: the connection is busy; try again

// Calls other than Cancel and GetConnectedState come from one thread at a time; those two may
// come from any thread at any time.
class DialupPort {
 public:
  virtual ~DialupPort() = default;
  // True when the computer has a network connection of any kind; `flags` gets kConnectionModem
  // when one goes over a modem (flags are valid even when the result is false).
  virtual bool GetConnectedState(unsigned& flags) = 0;
  // Dials the named connection: 0 with `handle` set, kErrorNoConnection when it should be tried
  // again, another code for any other failure.
  virtual int Dial(const std::string& name, DialHandle& handle) = 0;
  // Hangs up a connection that Dial returned; an unknown handle is ignored.
  virtual void HangUp(DialHandle handle) = 0;
  // Waits between two dial attempts; returns early once Cancel was called.
  virtual void Pause(std::chrono::milliseconds duration) = 0;
  // From any thread: makes a dial in progress and every later Dial and Pause end at once (a dial
  // then fails). HangUp keeps working, so that a held connection can still be hung up.
  virtual void Cancel() {}
  // The time that bounds the retries of a dial.
  virtual std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }
};

// The machine's own: on Linux the interfaces from getifaddrs and dialling through NetworkManager
// or pon/poff; elsewhere MakeConnectedDialupPort's.
std::unique_ptr<DialupPort> MakeSystemDialupPort();

// A port that always reports a modem connection and never dials, so that every connection mode
// lets a request through.
std::unique_ptr<DialupPort> MakeConnectedDialupPort();

}  // namespace horavex
