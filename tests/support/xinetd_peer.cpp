#include "support/xinetd_peer.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "support/loopback_probe.h"
#include "protocol/time_formats.h"

namespace horavex::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// xinetd finds its internal services by name, so both transports of one service share the name
// and differ by id. UDP services must wait: xinetd answers each datagram itself.
std::string ServiceBlock(const char* name, bool stream, std::uint16_t port, bool unlimitedRate) {
  std::ostringstream s;
  s << "service " << name << "\n{\n"
    << "  id = " << name << (stream ? "-stream" : "-dgram") << "\n"
    << "  type = INTERNAL UNLISTED\n"
    << "  socket_type = " << (stream ? "stream" : "dgram") << "\n"
    << "  protocol = " << (stream ? "tcp" : "udp") << "\n"
    << "  wait = " << (stream ? "no" : "yes") << "\n"
    << "  user = root\n"
    << "  port = " << port << "\n"
    << "  bind = 127.0.0.1\n";
  if (stream && unlimitedRate) s << "  cps = 100000 1\n";
  s << "}\n";
  return s.str();
}

}  // namespace

std::unique_ptr<XinetdPeer> XinetdPeer::Start(std::string& error, XinetdOptions options, milliseconds bound) {
  if (!FindProgram("xinetd")) {
    error = "xinetd niet gevonden";
    return nullptr;
  }
  std::unique_ptr<XinetdPeer> peer(new XinetdPeer);
  const auto deadline = Clock::now() + bound;
  // A port can be taken between FreePort and xinetd's bind; then new ports are tried.
  for (int attempt = 0; attempt < 3 && Clock::now() < deadline; ++attempt) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (peer->TryStart(options, left, error)) return peer;
  }
  return nullptr;
}

bool XinetdPeer::TryStart(const XinetdOptions& options, milliseconds bound, std::string& error) {
  process_.reset();
  timePort_ = FreePort();
  daytimePort_ = FreePort();
  // A port just released is free again: the second request may repeat the first answer.
  for (int i = 0; i < 8 && daytimePort_ == timePort_; ++i) daytimePort_ = FreePort();
  if (timePort_ == 0 || daytimePort_ == 0 || timePort_ == daytimePort_) {
    error = "geen vrije poorten op 127.0.0.1";
    return false;
  }
  const std::filesystem::path conf = dir_.File("xinetd.conf");
  std::ofstream(conf) << "defaults\n{\n}\n"
                      << ServiceBlock("time", true, timePort_, options.unlimitedTcpRate)
                      << ServiceBlock("time", false, timePort_, false)
                      << ServiceBlock("daytime", true, daytimePort_, options.unlimitedTcpRate)
                      << ServiceBlock("daytime", false, daytimePort_, false);
  // Without -filelog xinetd wants syslog and refuses to start here.
  const std::vector<std::string> argv{"xinetd",  "-dontfork", "-filelog",
                                      dir_.File("xinetd.log").string(),
                                      "-f",      conf.string(), "-pidfile", dir_.File("xinetd.pid").string()};
  process_ = PeerProcess::Start(argv, dir_.File("xinetd.out"), error);
  if (!process_) return false;
  if (process_->AwaitReady([this] { return Ready(); }, bound)) return true;
  error = "xinetd werd niet gereed op poorten " + std::to_string(timePort_) + " en " + std::to_string(daytimePort_) +
          ":\n" + Log();
  return false;
}

bool XinetdPeer::Ready() {
  // A service that could not bind stays off: give these ports up at once.
  if (ReadFile(dir_.File("xinetd.log")).find("failed to start") != std::string::npos) {
    process_->Stop();
    return false;
  }
  const milliseconds probe{200};
  return WaitForTcp(timePort_, probe) && WaitForTcp(daytimePort_, probe) &&
         WaitForUdpAnswer(timePort_, kUdpRequest, probe) && WaitForUdpAnswer(daytimePort_, kUdpRequest, probe);
}

std::string XinetdPeer::Log() const { return process_->Log() + ReadFile(dir_.File("xinetd.log")); }

}  // namespace horavex::testing
