// The platform's view of the network connection: is there one, does it go over a modem, and
// dialling and hanging up a named dial-up connection.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace horavex {

using DialHandle = std::uint64_t;  // 0: no connection held

// The machine's network connection as it is now.
struct ConnectedState {
  bool connected = false;  // a connection of any kind is up
  bool modem = false;      // a modem connection is there, up or not
};

// What a dial came to. Busy: the connection could not be made now, and may be on a later try.
enum class DialOutcome { Connected, Busy, Failed };
struct DialResult {
  static DialResult Connected(DialHandle handle) { return {DialOutcome::Connected, handle, 0}; }
  static DialResult Busy() { return {DialOutcome::Busy, 0, 0}; }
  static DialResult Failed(int error) { return {DialOutcome::Failed, 0, error}; }
  bool operator==(const DialResult&) const = default;

  DialOutcome outcome = DialOutcome::Failed;
  DialHandle handle = 0;  // the connection, when Connected
  int error = 0;          // when Failed: the dial program's exit status, 128 + its signal, or an errno
};

// Calls other than Cancel and GetConnectedState come from one thread at a time; those two may
// come from any thread at any time.
class DialupPort {
 public:
  virtual ~DialupPort() = default;
  // Whether the computer has a network connection of any kind, and a modem connection.
  virtual ConnectedState GetConnectedState() = 0;
  // Dials the named connection.
  virtual DialResult Dial(const std::string& name) = 0;
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
