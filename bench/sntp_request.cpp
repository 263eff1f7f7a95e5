// How long one SNTP request takes through the client logic, next to a bare UDP request/answer
// with the same server in the same run: chrony on loopback.
//
//   sntp_request [REQUESTS]     (default 2000; loopback only, bounded in count and time)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <asio/io_context.hpp>

#include "client/time_client.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "support/fake_dialup_port.h"
#include "platform/simulated_clock.h"
#include "support/peers.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::duration<double, std::micro>;

struct Figures {
  double median = 0, mean = 0, p90 = 0;
};

Figures Summarise(std::vector<double> us) {
  std::sort(us.begin(), us.end());
  Figures f;
  f.median = us[us.size() / 2];
  f.p90 = us[us.size() * 9 / 10];
  for (double u : us) f.mean += u;
  f.mean /= static_cast<double>(us.size());
  return f;
}

// A plain blocking request/answer: what the machine allows.
std::vector<double> RawRoundTrips(std::uint16_t port, int count) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
  timeval limit{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::uint8_t request[48] = {0x1B}, answer[62];
  std::vector<double> us;
  for (int i = 0; i < count; ++i) {
    const auto start = Clock::now();
    ::send(fd, request, sizeof request, 0);
    if (::recv(fd, answer, sizeof answer, 0) < 4) continue;
    us.push_back(Micros(Clock::now() - start).count());
  }
  ::close(fd);
  return us;
}

// The same through TimeClient: connection check, lookup, socket, request, deadline, decode,
// maximum correction, the (simulated) clock, the texts and the hang-up.
std::vector<double> ClientRequests(std::uint16_t port, int count, int& failures) {
  using namespace horavex;
  testing::TempDir dir;
  Profile profile(dir.File("horavex.ini"));
  SimulatedClock clock;
  asio::io_context io;
  DialupService dialup(std::make_unique<testing::FakeDialupPort>(), io.get_executor());
  NullClientView view;
  TimeClient client(ClientKind::SntpUdp, ClientServices{{io.get_executor(), io.get_executor()}, profile, clock, dialup},
                    view);
  client.Settings().m_server = "127.0.0.1";
  client.Settings().m_port = port;
  client.Settings().m_warnLevel = 0;

  std::vector<double> us;
  Clock::time_point start;
  int left = count;
  client.SetFinishedObserver([&] {
    us.push_back(Micros(Clock::now() - start).count());
    if (!client.LastOutcome().clockSet) ++failures;
    if (--left == 0) return io.stop();
    start = Clock::now();
    client.DoSynchro();
  });
  start = Clock::now();
  client.DoSynchro();
  io.run_for(std::chrono::seconds(60));
  return us;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::clamp(std::atoi(argv[1]), 10, 100000) : 2000;
  std::string error;
  auto chrony = horavex::testing::TimePeer::Chrony(error);
  if (!chrony) {
    std::fprintf(stderr, "chronyd kon niet starten: %s\n", error.c_str());
    return 1;
  }
  // Warm both paths up, then measure them interleaved so that neither gets the quieter half.
  int failures = 0;
  RawRoundTrips(chrony->Port(), 200);
  ClientRequests(chrony->Port(), 200, failures);
  failures = 0;
  std::vector<double> raw, client;
  for (int round = 0; round < 4; ++round) {
    const auto r = RawRoundTrips(chrony->Port(), count / 4);
    const auto c = ClientRequests(chrony->Port(), count / 4, failures);
    raw.insert(raw.end(), r.begin(), r.end());
    client.insert(client.end(), c.begin(), c.end());
  }
  const Figures fr = Summarise(raw), fc = Summarise(client);
  std::printf("SNTP tegen chronyd op 127.0.0.1, %zu + %zu verzoeken\n", raw.size(), client.size());
  std::printf("%-28s %10s %10s %10s\n", "", "mediaan us", "gemidd. us", "p90 us");
  std::printf("%-28s %10.1f %10.1f %10.1f\n", "kale UDP-rondgang", fr.median, fr.mean, fr.p90);
  std::printf("%-28s %10.1f %10.1f %10.1f\n", "verzoek via TimeClient", fc.median, fc.mean, fc.p90);
  std::printf("verhouding client/kaal (mediaan): %.2f   (doel: <= 2.00)\n", fc.median / fr.median);
  if (failures) std::printf("mislukte verzoeken: %d\n", failures);
  return failures == 0 ? 0 : 1;
}
