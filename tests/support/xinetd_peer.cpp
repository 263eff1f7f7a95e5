#include "support/xinetd_peer.h"

#include <fstream>

#include "protocol/wire_formats.h"
#include "support/loopback_probe.h"

namespace horavex::testing {
namespace {

// xinetd finds its internal services by name, so both transports of one service share the name
// and differ by id. UDP services must wait: xinetd answers each datagram itself.
void WriteService(std::ostream& out, const char* name, bool tcp, std::uint16_t port, bool unlimitedRate) {
  out << "service " << name << "\n{\n  id = " << name << (tcp ? "-stream" : "-dgram")
      << "\n  type = INTERNAL UNLISTED\n  socket_type = " << (tcp ? "stream" : "dgram")
      << "\n  protocol = " << (tcp ? "tcp" : "udp") << "\n  wait = " << (tcp ? "no" : "yes")
      << "\n  user = root\n  port = " << port << "\n  bind = 127.0.0.1\n"
      << (tcp && unlimitedRate ? "  cps = 100000 1\n" : "") << "}\n";
}

}  // namespace

std::unique_ptr<XinetdPeer> XinetdPeer::Start(std::string& error, XinetdOptions options,
                                              std::chrono::milliseconds bound) {
  auto peer = std::make_unique<XinetdPeer>();
  if (StartOnFreePorts(bound, [&](auto left) { return peer->TryStart(options, left, error); })) return peer;
  return nullptr;
}

bool XinetdPeer::TryStart(const XinetdOptions& options, std::chrono::milliseconds bound, std::string& error) {
  process_.reset();
  timePort_ = FreePort();
  daytimePort_ = FreePort();
  for (int i = 0; i < 8 && daytimePort_ == timePort_; ++i) daytimePort_ = FreePort();  // just released: free again
  std::ofstream conf(dir_.File("xinetd.conf"));
  conf << "defaults\n{\n}\n";
  for (bool tcp : {true, false}) {
    WriteService(conf, "time", tcp, timePort_, options.unlimitedTcpRate);
    WriteService(conf, "daytime", tcp, daytimePort_, options.unlimitedTcpRate);
  }
  conf.close();
  // Without -filelog xinetd wants syslog and refuses to start here.
  process_ = PeerProcess::Start({"xinetd", "-dontfork", "-filelog", dir_.File("xinetd.log").string(), "-f",
                                 dir_.File("xinetd.conf").string(), "-pidfile", dir_.File("xinetd.pid").string()},
                                dir_.File("xinetd.out"), error);
  const auto ready = [this] {
    // A service that could not bind stays off: give these ports up at once.
    if (ReadFile(dir_.File("xinetd.log")).find("failed to start") != std::string::npos) return process_->Stop(), false;
    const std::chrono::milliseconds probe{200};
    return WaitForTcp(timePort_, probe) && WaitForTcp(daytimePort_, probe) &&
           WaitForUdpAnswer(timePort_, kUdpRequest, probe) && WaitForUdpAnswer(daytimePort_, kUdpRequest, probe);
  };
  if (process_ && process_->AwaitReady(ready, bound)) return true;
  if (process_) error = "xinetd werd niet gereed:\n" + process_->Log() + ReadFile(dir_.File("xinetd.log"));
  return false;
}

}  // namespace horavex::testing
