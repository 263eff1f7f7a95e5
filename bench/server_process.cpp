#include "server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <ctime>
#include <string>

#include <asio/io_context.hpp>

#include "common/profile.h"
#include "platform/clock.h"
#include "protocol/wire_formats.h"
#include "server/time_server.h"
#include "support/loopback_probe.h"

namespace horavex::bench {
namespace {

sockaddr_in Loopback() {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A socket bound to 127.0.0.1 on a free port; its port goes to `report`.
int BoundSocket(int type, int report) {
  const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  const int on = 1;
  if (type == SOCK_STREAM) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a = Loopback();
  socklen_t length = sizeof a;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) _exit(2);
  if (type == SOCK_STREAM && listen(fd, SOMAXCONN) != 0) _exit(2);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  const std::uint16_t port = ntohs(a.sin_port);
  if (write(report, &port, sizeof port) != sizeof port) _exit(2);
  return fd;
}

[[noreturn]] void ReferenceUdp(int report) {
  const int fd = BoundSocket(SOCK_DGRAM, report);
  for (;;) {
    char request[80];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    if (recvfrom(fd, request, sizeof request, 0, reinterpret_cast<sockaddr*>(&from), &length) < 0) continue;
    const ServerAnswer answer = MakeServerAnswer(ServerKind::TimeUdp, std::time(nullptr));
    sendto(fd, answer.bytes.data(), answer.length, 0, reinterpret_cast<sockaddr*>(&from), length);
  }
}

[[noreturn]] void ReferenceTcp(int report) {
  const int fd = BoundSocket(SOCK_STREAM, report);
  for (;;) {
    const int connection = accept(fd, nullptr, nullptr);
    if (connection < 0) continue;
    const ServerAnswer answer = MakeServerAnswer(ServerKind::TimeTcp, std::time(nullptr));
    send(connection, answer.bytes.data(), answer.length, MSG_NOSIGNAL);
    close(connection);
  }
}

[[noreturn]] void Horavex(ServerKind kind, int report, bool allAddresses) {
  asio::io_context io;
  // Never written: the server is not saved.
  Profile profile("/nonexistent/horavex-bench.ini");
  NullServerView view;
  const auto clock = MakeSystemClock();
  TimeServer server(kind, {{io.get_executor(), io.get_executor()}, profile, *clock}, view,
                    allAddresses ? std::nullopt : std::optional<asio::ip::address>(asio::ip::address_v4::loopback()));
  // A port taken between the look-up and the bind gets another try.
  for (int attempt = 0; attempt < 8 && !server.Running(); ++attempt) {
    server.SetPort(testing::FreePort());
    server.StartServer();
  }
  const std::uint16_t port = server.LocalPort();
  if (!server.Running() || write(report, &port, sizeof port) != sizeof port) _exit(2);
  io.run();
  _exit(0);
}

[[noreturn]] void RunChild(ServerUnderTest which, int report, bool allAddresses) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the benchmark
  switch (which) {
    case ServerUnderTest::kReferenceUdp: ReferenceUdp(report);
    case ServerUnderTest::kReferenceTcp: ReferenceTcp(report);
    case ServerUnderTest::kHoravexUdp: Horavex(ServerKind::TimeUdp, report, allAddresses);
    case ServerUnderTest::kHoravexTcp: Horavex(ServerKind::TimeTcp, report, allAddresses);
  }
  _exit(2);
}

}  // namespace

std::unique_ptr<ServerProcess> ServerProcess::Start(ServerUnderTest which, bool allAddresses) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return nullptr;
  const pid_t pid = fork();
  if (pid < 0) return nullptr;
  if (pid == 0) {
    close(fds[0]);
    RunChild(which, fds[1], allAddresses);
  }
  close(fds[1]);
  std::uint16_t port = 0;
  pollfd p{fds[0], POLLIN, 0};
  const bool ready = poll(&p, 1, 5000) == 1 && read(fds[0], &port, sizeof port) == sizeof port && port != 0;
  close(fds[0]);
  auto process = std::unique_ptr<ServerProcess>(new ServerProcess(pid, port));
  return ready ? std::move(process) : nullptr;
}

ServerProcess::~ServerProcess() {
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

}  // namespace horavex::bench
