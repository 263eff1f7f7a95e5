// Real time servers on 127.0.0.1, started for one test and ended with it: chronyd for SNTP, run
// with -x so that it never steers the clock, and xinetd's internal Time and Daytime services over
// TCP and UDP (its Daytime text looks like "06 DEC 2026 17:33:22 UTC\r\n").
#pragma once

#include "support/peer_process.h"
#include "support/temp_dir.h"

namespace horavex::testing {

struct XinetdOptions {
  bool unlimitedTcpRate = false;  // lifts xinetd's limit of TCP connections per second (load tests)
};

class TimePeer {
 public:
  // Starts chronyd on a free port and waits until it answers an SNTP request; nullptr, with
  // `error` set, when it does not within 5 seconds on any of three tries with fresh ports (a
  // port can be taken between choosing it and the peer's bind).
  static std::unique_ptr<TimePeer> Chrony(std::string& error) {
    return Start([](TimePeer& p, std::string& e) { return p.StartChrony(e); }, error);
  }
  // Starts xinetd with Time and Daytime, each over TCP and UDP, on two free ports and waits until
  // all four answer.
  static std::unique_ptr<TimePeer> Xinetd(std::string& error, XinetdOptions options = {}) {
    return Start([&](TimePeer& p, std::string& e) { return p.StartXinetd(options, e); }, error);
  }
  std::uint16_t Port() const { return port_; }          // chronyd's SNTP port
  std::uint16_t TimePort() const { return port_; }      // xinetd's Time port, TCP and UDP
  std::uint16_t DaytimePort() const { return port2_; }  // xinetd's Daytime port, TCP and UDP
  pid_t Pid() const { return process_->Pid(); }  // for the load benchmark's figures

 private:
  template <class F> static std::unique_ptr<TimePeer> Start(F attempt, std::string& error) {
    auto peer = std::make_unique<TimePeer>();
    for (int i = 0; i < 3; ++i)
      if (attempt(*peer, error)) return peer;
    return nullptr;
  }
  bool StartChrony(std::string& error);
  bool StartXinetd(const XinetdOptions& options, std::string& error);

  TempDir dir_;  // outlives the process: it holds the process's files
  std::unique_ptr<PeerProcess> process_;
  std::uint16_t port_ = 0, port2_ = 0;
};

}  // namespace horavex::testing
