#include "support/chrony_peer.h"

#include <pwd.h>
#include <unistd.h>

#include <fstream>

#include "protocol/wire_formats.h"
#include "support/loopback_probe.h"

namespace horavex::testing {

std::unique_ptr<ChronyPeer> ChronyPeer::Start(std::string& error, std::chrono::milliseconds bound) {
  auto peer = std::make_unique<ChronyPeer>();
  if (StartOnFreePorts(bound, [&](std::chrono::milliseconds left) { return peer->TryStart(left, error); })) return peer;
  return nullptr;
}

bool ChronyPeer::TryStart(std::chrono::milliseconds bound, std::string& error) {
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
  process_ = PeerProcess::Start({"chronyd", "-x", "-d", "-u", own ? "_chrony" : "root", "-f",
                                 dir_.File("chrony.conf").string()},
                                dir_.File("chronyd.log"), error);
  NtpPacket request{kSntpRequestByte0};
  const auto answers = [&] {
    const auto answer = WaitForUdpAnswer(port_, request, std::chrono::milliseconds{200});
    return answer && answer->size() == kNtpPacketSize;
  };
  if (process_ && process_->AwaitReady(answers, bound)) return true;
  if (process_) error = "chronyd antwoordde niet op poort " + std::to_string(port_) + ":\n" + process_->Log();
  return false;
}

}  // namespace horavex::testing
