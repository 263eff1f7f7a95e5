// The Linux dial-up port: the connection state from the network interfaces, dialling and hanging
// up through NetworkManager's nmcli when it is on PATH, else through pon / poff.
#pragma once

#include <chrono>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/dialup_port.h"
#include "platform/linux/run_program.h"

namespace horavex {

struct LinuxDialupOptions {
  std::chrono::seconds nmcliWait{30};                 // nmcli's own wait for the activation
  std::chrono::milliseconds commandSlack{10'000};     // beyond that wait, before nmcli is killed
  std::chrono::milliseconds pppUpWait{45'000};        // after pon, for a ppp interface to come up
  std::chrono::milliseconds commandLimit{15'000};     // pon, poff, nmcli down
  std::chrono::milliseconds pollStep{250};            // between two looks at the interfaces
};

// One network interface: its name and its IFF_* flags.
struct InterfaceState {
  std::string name;
  unsigned flags = 0;
};

// Connected when an interface other than loopback is up and running; modem when a ppp* or wwan*
// interface is up.
ConnectedState ConnectedStateOf(std::span<const InterfaceState> interfaces);

// The Linux port with the waits given; MakeSystemDialupPort gives it with the defaults.
std::unique_ptr<DialupPort> MakeLinuxDialupPort(LinuxDialupOptions options);

}  // namespace horavex
