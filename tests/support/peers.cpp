#include "support/peers.h"

#include <pwd.h>
#include <unistd.h>

#include <fstream>

#include "protocol/wire_formats.h"
#include "support/loopback_probe.h"

namespace horavex::testing {

using std::chrono::milliseconds;

constexpr milliseconds kReadyBound{5000};

bool TimePeer::StartChrony(std::string& error) {
  process_.reset();
  port_ = FreePort();
  std::ofstream(dir_.File("chrony.conf")) << "port " << port_ << "\nbindaddress 127.0.0.1\nallow 127.0.0.1\n"
                                          << "local stratum 10\n"
                                          // No command port: the system's chronyc must not reach it.
                                          << "cmdport 0\nbindcmdaddress /\n"
                                          << "pidfile " << dir_.File("chronyd.pid").string() << "\n"
                                          << "driftfile " << dir_.File("chrony.drift").string() << "\n";
  // chronyd drops root for its own user, who must be able to write the drift and pid files here.
  const passwd* user = geteuid() == 0 ? getpwnam("_chrony") : nullptr;
  const bool own = user && chown(dir_.Path().c_str(), user->pw_uid, user->pw_gid) == 0;
  process_ = PeerProcess::Start(
      {"chronyd", "-x", "-d", "-u", own ? "_chrony" : "root", "-f", dir_.File("chrony.conf").string()},
      dir_.File("chronyd.log"), error);
  const NtpPacket request{kSntpRequestByte0};
  const auto answers = [&] {
    const auto answer = WaitForUdpAnswer(port_, request, milliseconds{200});
    return answer && answer->size() == kNtpPacketSize;
  };
  if (process_ && process_->AwaitReady(answers, kReadyBound)) return true;
  if (process_) error = "chronyd antwoordde niet op poort " + std::to_string(port_) + ":\n" + process_->Log();
  return false;
}

bool TimePeer::StartXinetd(const XinetdOptions& options, std::string& error) {
  process_.reset();
  port_ = FreePort(), port2_ = FreePort();
  for (int i = 0; i < 8 && port2_ == port_; ++i) port2_ = FreePort();  // a port just released is free again
  std::ofstream conf(dir_.File("xinetd.conf"));
  conf << "defaults\n{\n}\n";
  // xinetd finds its internal services by name, so both transports of one service share the name
  // and differ by id. UDP services must wait: xinetd answers each datagram itself.
  for (bool tcp : {true, false}) {
    for (const auto& [name, port] : {std::pair{"time", port_}, {"daytime", port2_}})
      conf << "service " << name << "\n{\n  id = " << name << (tcp ? "-stream" : "-dgram")
           << "\n  type = INTERNAL UNLISTED\n  socket_type = " << (tcp ? "stream" : "dgram")
           << "\n  protocol = " << (tcp ? "tcp" : "udp") << "\n  wait = " << (tcp ? "no" : "yes")
           << "\n  user = root\n  port = " << port << "\n  bind = 127.0.0.1\n"
           << (tcp && options.unlimitedTcpRate ? "  cps = 100000 1\n" : "") << "}\n";
  }
  conf.close();
  // Without -filelog xinetd wants syslog and refuses to start here.
  process_ = PeerProcess::Start({"xinetd", "-dontfork", "-filelog", dir_.File("xinetd.log").string(), "-f",
                                 dir_.File("xinetd.conf").string(), "-pidfile", dir_.File("xinetd.pid").string()},
                                dir_.File("xinetd.out"), error);
  const auto ready = [this] {
    // A service that could not bind stays off: give these ports up at once.
    if (ReadFile(dir_.File("xinetd.log")).find("failed to start") != std::string::npos) return process_->Stop(), false;
    const milliseconds probe{200};
    return Peer(Peer::Type::Tcp, port_).Valid() && Peer(Peer::Type::Tcp, port2_).Valid() &&
           WaitForUdpAnswer(port_, kUdpRequest, probe) && WaitForUdpAnswer(port2_, kUdpRequest, probe);
  };
  if (process_ && process_->AwaitReady(ready, kReadyBound)) return true;
  if (process_) error = "xinetd werd niet gereed:\n" + process_->Log() + ReadFile(dir_.File("xinetd.log"));
  return false;
}

}  // namespace horavex::testing
