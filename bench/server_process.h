// A time server under load in a process of its own, so that its CPU time and memory can be read
// apart from the load generator's: ours, or a minimal blocking reference that stands for what
// one thread of this machine allows. Bound to 127.0.0.1 on a free port; ours may instead listen on
// all addresses, as it does by default (IPv6 and IPv4 on one socket).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>

namespace horavex::bench {

enum class ServerUnderTest {
  kReferenceUdp,  // recvfrom, sendto, again
  kReferenceTcp,  // accept, send, close, again
  kHoravexUdp,    // TimeServer, Time over UDP
  kHoravexTcp,    // TimeServer, Time over TCP
};

class ServerProcess {
 public:
  // Forks the server (the caller must not have started threads yet) and waits until it is
  // bound; nullptr when it could not start. It answers Time requests: 4 bytes. `allAddresses`:
  // ours listens on all addresses instead of 127.0.0.1.
  static std::unique_ptr<ServerProcess> Start(ServerUnderTest which, bool allAddresses = false);
  // Ends the process (SIGTERM, then reaps it).
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  pid_t Pid() const { return pid_; }
  std::uint16_t Port() const { return port_; }

 private:
  ServerProcess(pid_t pid, std::uint16_t port) : pid_(pid), port_(port) {}
  pid_t pid_;
  std::uint16_t port_;
};

}  // namespace horavex::bench
