// The server sockets on loopback: to whom and what they answer, and how they bear loops, floods,
// restarts and exhausted descriptors.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "server/request_log.h"
#include "server_fixture.h"

namespace horavex::testing {
namespace {

std::string Hex4(std::uint16_t port) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%04X", port);
  return buffer;
}

class Sockets : public ServerFixture, public ::testing::TestWithParam<Threads> {
 protected:
  Sockets() : ServerFixture(GetParam()) {}
  const char* OtherAddress() const { return GetParam() == Threads::Same ? "127.77.0.1" : "127.77.0.2"; }
};

TEST_P(Sockets, NeitherAnEchoServiceNorAnotherOfOurServersStartsALoop) {
  auto server = Started(ServerKind::TimeUdp);
  auto other = Started(ServerKind::DaytimeUdp);
  // A forged request makes the server answer a service that sends back whatever it gets.
  UdpPeer echo;
  const int answers = loop->Call([&] {
    echo.Send(server->LocalPort(), "QZ");
    int n = 0;
    for (std::vector<Bytes> got; n < 100 && !(got = echo.Receive(300ms, 1)).empty(); ++n)
      echo.Send(server->LocalPort(), std::string(got[0].begin(), got[0].end()));
    return n;
  });
  EXPECT_EQ(answers, 1);
  // One forged as coming from the other server's port (on another loopback address, where the
  // port is free): were it answered, the two would answer each other.
  UdpPeer forged(other->LocalPort(), OtherAddress());
  ASSERT_TRUE(forged.Valid());
  EXPECT_TRUE(loop->Call([&] {
    forged.Send(server->LocalPort(), "QZ");
    return forged.Receive(200ms);
  }).empty());
  ASSERT_TRUE(StatusBecomes(*server, "1"));
  EXPECT_EQ(view.messages.substr(0, 21), "UDP: 127.0.0.1 poort:");
}

TEST_P(Sockets, AFloodReachesTheViewAFewTimesASecondWithTheTextOfEveryRequest) {
  auto server = Started(ServerKind::TimeUdp);
  std::vector<std::unique_ptr<UdpPeer>> peers;
  for (int i = 0; i < 7; ++i) peers.push_back(std::make_unique<UdpPeer>());
  // Any request is answered; one longer than the server reads arrives cut, still with its sender.
  const std::string payloads[] = {"", "QZ", std::string(200, '\1')};
  constexpr int kRequests = 3000;
  RequestLog expected;
  const auto start = std::chrono::steady_clock::now();
  const int answered = loop->Call([&] {
    int n = 0;
    for (int i = 0; i < kRequests; ++i) {
      UdpPeer& peer = *peers[static_cast<std::size_t>(i) % peers.size()];
      peer.Send(server->LocalPort(), payloads[i % 3]);
      expected.Add(RequestTransport::Udp, {127, 0, 0, 1}, peer.Port());
      n += static_cast<int>(peer.Receive(1s, 1).size());
    }
    return n;
  });
  EXPECT_EQ(answered, kRequests);
  ASSERT_TRUE(StatusBecomes(*server, std::to_string(kRequests)));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LE(view.logs.size(), static_cast<std::size_t>(elapsed / TimeServerSocket::kReportInterval) + 2);
  EXPECT_LE(view.requestTexts.size(), view.logs.size() + 2);
  EXPECT_EQ(view.messages, expected.Text());
}

TEST_P(Sockets, StaleReportsOfAStoppedSocketAreDropped) {
  auto server = Started(ServerKind::TimeUdp);
  const std::uint16_t port = server->LocalPort();
  std::atomic<bool> flooding = true;
  std::thread flood([&] {
    UdpPeer peer;
    for (int i = 0; i < 200000 && flooding; ++i) peer.Send(port, "");
  });
  for (int cycle = 0; cycle < 20; ++cycle) {
    loop->Run(10ms);
    server->StopServer();
    EXPECT_EQ(server->GetStatusText(), "disabled");
    server->StartServer();
    ASSERT_TRUE(server->Running()) << view.messages;
  }
  flooding = false;
  flood.join();
  server->StopServer();
  server->StartServer();
  loop->Run(2 * TimeServerSocket::kReportInterval);
  EXPECT_EQ(server->GetStatusText(), "0");
}

INSTANTIATE_TEST_SUITE_P(Servers, Sockets, ::testing::Values(Threads::Same, Threads::Split),
                         [](const auto& p) { return p.param == Threads::Same ? "Same" : "Split"; });

class SameThread : public ServerFixture, public ::testing::Test {
 protected:
  SameThread() : ServerFixture(Threads::Same) {}
};

TEST_F(SameThread, ATcpClientThatSendsStillGetsTheAnswerAndACleanEnd) {
  auto server = Started(ServerKind::TimeTcp);
  // The request bytes are waiting before the server accepts: a close with unread data would reset
  // the connection instead of ending it.
  TcpPeer peer(server->LocalPort());
  peer.Send("QZ" + std::string(3000, 'x'));
  const auto outcome = loop->Call([&] { return peer.ReadAll(3s); });
  EXPECT_EQ(outcome.received.size(), 4u);
  EXPECT_TRUE(outcome.closedByPeer && outcome.error == 0);
}

// Every descriptor below a low limit in use but one, left for a client's socket, so that the one
// after it fails with EMFILE.
class DescriptorsExhausted {
 public:
  DescriptorsExhausted() {
    getrlimit(RLIMIT_NOFILE, &saved_);
    int highest = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
      highest = std::max(highest, std::stoi(entry.path().filename().string()));
    rlimit low = saved_;
    low.rlim_cur = static_cast<rlim_t>(highest) + 32;
    setrlimit(RLIMIT_NOFILE, &low);
    for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers_.push_back(fd);
    close(fillers_.back());
    fillers_.pop_back();
  }
  ~DescriptorsExhausted() {
    for (int fd : fillers_) close(fd);
    setrlimit(RLIMIT_NOFILE, &saved_);
  }

 private:
  rlimit saved_{};
  std::vector<int> fillers_;
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(SameThread, AFailingAcceptIsShownOnceASecondWithoutSpinningAndTheClientIsServedLater) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer runtime needs descriptors of its own for its checks";
#endif
  auto server = Started(ServerKind::TimeTcp);
  std::optional<TcpPeer> peer;
  {
    DescriptorsExhausted exhausted;
    peer.emplace(server->LocalPort());
    ASSERT_TRUE(peer->Connected());
    const double cpuBefore = CpuSeconds();
    loop->Run(700ms);
    EXPECT_LT(CpuSeconds() - cpuBefore, 0.3);  // paused, not spinning on the waiting connection
    EXPECT_EQ(view.errors, std::vector<std::string>{"Melding: 1 ERROR: " + std::to_string(EMFILE) +
                                                    "\r\nVerbinding aannemen NIET mogelijk"});
    EXPECT_EQ(server->GetStatusText(), "0");
  }
  const auto outcome = loop->Call([&] { return peer->ReadAll(3s); });
  EXPECT_EQ(outcome.received.size(), 4u);
  ASSERT_TRUE(StatusBecomes(*server, "1"));
  EXPECT_EQ(view.messages, "Adres:127.0.0.1 poort:" + Hex4(peer->LocalPort()) + "\r\n");
}

}  // namespace
}  // namespace horavex::testing
