// The servers on loopback as their window drives them: exact answers on a simulated clock, to
// whom they answer, starting, stopping, saving and the numbered messages, and how they bear
// loops, clients that send, floods and restarts.
#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <regex>
#include <thread>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>

#include "common/profile.h"
#include "platform/simulated_clock.h"
#include "server/time_server.h"
#include "support/loopback_probe.h"
#include "support/temp_dir.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;

class RecordingServerView : public ServerView {
 public:
  void ShowRequestLog(const std::string& text) override { messages = text; }
  void ShowError(const std::string& text) override { errors.push_back(text), messages = text; }
  void SetRequestText(const std::string& text) override { requestTexts.push_back(text); }
  std::vector<std::string> errors, requestTexts;
  std::string messages;  // the messages field: the latest log or error
};

// The sockets run on a thread of their own, as in the window; the logic side runs on the test
// thread only when a test runs it, so answers are shown not to wait for it.
class ServerTest : public ::testing::Test {
 protected:
  // 2003-01-01 00:00:00.250 UTC: Time C1 BC AE 00; in CET the Daytime text of 01:00:00.
  static constexpr UnixMillis kNow = 1041379200250;

  ServerTest() {
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1), tzset();  // before the io thread starts, never changed
    ioThread_ = std::thread([this] { io_.run(); });
  }
  ~ServerTest() override { ioWork_.reset(), ioThread_.join(); }
  // A server of `kind` on `bind` (nullptr: all addresses), not started, on `port` (0: the port of the profile).
  std::unique_ptr<TimeServer> Make(ServerKind kind, unsigned port = 0, ServerView* v = nullptr,
                                   const char* bind = "127.0.0.1") {
    const ServerServices services{{io_.get_executor(), logic_.get_executor()}, profile, clock};
    auto address = bind ? std::optional(asio::ip::make_address(bind)) : std::nullopt;
    auto server = std::make_unique<TimeServer>(kind, services, v ? *v : view, address);
    if (port != 0) server->SetPort(port);
    return server;
  }
  // A server of `kind` started on a free port; another process may take a port first.
  std::unique_ptr<TimeServer> Started(ServerKind kind, ServerView* v = nullptr, const char* bind = "127.0.0.1") {
    auto server = Make(kind, 0, v, bind);
    for (int i = 0; i < 8 && !server->Running(); ++i) server->SetPort(FreePort()), server->StartServer();
    EXPECT_TRUE(server->Running());
    return server;
  }
  // Saves, running the logic side until the save has finished (at most 3 s); its error, -1 when unfinished.
  int Saved(TimeServer& server) {
    std::optional<int> error;
    server.Save([&](int e) { error = e; });
    for (int i = 0; i < 600 && !error; ++i) logic_.run_for(5ms);
    return error.value_or(-1);
  }
  // Runs the logic side until the server's status text is `text`, at most 3 s.
  bool StatusBecomes(const TimeServer& server, const std::string& text) {
    for (int i = 0; i < 600 && server.GetStatusText() != text; ++i) logic_.run_for(5ms);
    return server.GetStatusText() == text;
  }
  // What a request from `from` gets; a TCP connection must then end cleanly (an empty read).
  static std::string Ask(ServerKind kind, std::uint16_t port, const char* from = "127.0.0.1",
                         std::chrono::milliseconds bound = 2s) {
    const auto reads = IsDatagram(kind) ? std::vector<Bytes>{WaitForUdpAnswer(port, {}, bound, from).value_or(Bytes{})}
                                        : Peer(Peer::Type::Tcp, port, from).Receive(bound);
    if (!IsDatagram(kind) && (reads.size() != 2 || !reads[1].empty())) return "no answer and clean end";
    return {reads[0].begin(), reads[0].end()};
  }

  TempDir dir;
  Profile profile{dir.File("horavex.ini")};
  ManualTimeSource time{kNow};
  SimulatedClock clock{time.Source()};
  RecordingServerView view;
  asio::io_context logic_, io_;
  using WorkGuard = asio::executor_work_guard<asio::io_context::executor_type>;
  WorkGuard logicWork_{logic_.get_executor()}, ioWork_{io_.get_executor()};
  std::thread ioThread_;
};

// Where a server listens, which loopback addresses it answers (its log shows them as written)
// and which not, from where a datagram is forged as coming from another of our servers (on
// 127.0.0.1): an address where that port is free, and another address of the machine at which
// 127.0.0.1 asks it (the answer must come from there).
struct FamilyCase {
  const char* name;
  const char* bind;  // nullptr: all addresses, IPv4 arriving IPv4-mapped
  std::vector<const char*> answered;
  const char* unanswered;
  const char* forged;
  const char* askedAt;
};
class Families : public ServerTest, public ::testing::WithParamInterface<FamilyCase> {};
void PrintTo(const FamilyCase& row, std::ostream* out) { *out << row.name; }

// The requesters' addresses in a log, newest first.
std::vector<std::string> Requesters(const std::string& log) {
  static const std::regex kLine("(Adres:|UDP: )([0-9a-f.:]+) poort:[0-9A-F]{4}\r\n");
  std::vector<std::string> found;
  for (std::sregex_iterator i(log.begin(), log.end(), kLine), end; i != end; ++i) found.push_back((*i)[2]);
  return found;
}

TEST_P(Families, AnswersAreExactAtTheClocksSecondCountedLoggedAndStartNoLoop) {
  const FamilyCase& c = GetParam();
  if (std::string(c.name) != "Ipv4" && !HasIpv6Loopback()) {
    GTEST_SKIP() << "no ::1 on this machine";
  }
  RecordingServerView otherView;
  auto other = Started(ServerKind::DaytimeUdp, &otherView);
  for (ServerKind kind : kServerKinds) {
    const bool daytime = kind == ServerKind::DaytimeTcp || kind == ServerKind::DaytimeUdp;
    const auto at = [&](int s) {
      return daytime ? "Wed Jan 01 01:00:0" + std::to_string(s) + " 2003\n" : "\xC1\xBC\xAE" + std::string(1, char(s));
    };
    auto server = Started(kind, nullptr, c.bind);
    std::vector<std::string> expected;
    for (const char* from : c.answered) {
      EXPECT_EQ(Ask(kind, server->LocalPort(), from), at(0));
      expected.insert(expected.begin(), from);
    }
    time.Advance(1s);
    EXPECT_EQ(Ask(kind, server->LocalPort(), c.answered[0]), at(1));
    expected.insert(expected.begin(), c.answered[0]);
    time.Advance(-1s);
    if (c.unanswered) {
      EXPECT_EQ(Ask(kind, server->LocalPort(), c.unanswered, 300ms), IsDatagram(kind) ? "" : "no answer and clean end");
    }
    if (kind == ServerKind::TimeUdp) {  // a forged request, and a service that sends back whatever it gets
      Peer echo(Peer::Type::Udp, 0, c.answered[0]);
      echo.Send("QZ", server->LocalPort());
      int answers = 0;
      for (std::vector<Bytes> got; answers < 100 && !(got = echo.Receive(300ms, 1)).empty(); ++answers)
        echo.Send({reinterpret_cast<const char*>(got[0].data()), got[0].size()}, server->LocalPort());
      EXPECT_EQ(answers, 1);
      expected.insert(expected.begin(), c.answered[0]);
      Peer forged(Peer::Type::Udp, other->LocalPort(), c.forged);
      forged.Send("QZ", server->LocalPort());
      EXPECT_TRUE(forged.Valid() && forged.Receive(200ms).empty());
    }
    if (c.askedAt && IsDatagram(kind)) {
      Peer peer(Peer::Type::Udp);
      peer.Send("QZ", server->LocalPort(), c.askedAt);
      EXPECT_EQ(peer.Receive(2s, 1).size(), 1u);
      expected.insert(expected.begin(), "127.0.0.1");
    }
    EXPECT_TRUE(StatusBecomes(*server, std::to_string(expected.size())));
    EXPECT_EQ(Requesters(view.messages), expected) << view.messages;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, Families,
    ::testing::Values(FamilyCase{"Ipv4", "127.0.0.1", {"127.0.0.1"}, "::1", "127.77.0.1", nullptr},
                      FamilyCase{"Ipv6", "::1", {"::1"}, "127.0.0.1", "::1", nullptr},
                      FamilyCase{"AllAddressesOfBoth", nullptr, {"127.0.0.1", "::1"}, nullptr, "127.77.0.1", "127.0.0.2"},
                      FamilyCase{"AllIpv4Addresses", "0.0.0.0", {"127.0.0.1"}, "::1", "127.77.0.1", "127.0.0.2"},
                      FamilyCase{"AllIpv6Addresses", "::", {"::1"}, "127.0.0.1", "::1", nullptr}),
    [](const auto& row) { return std::string(row.param.name); });

class Lifecycle : public ServerTest, public ::testing::WithParamInterface<ServerKind> {};

std::string Message(int number, int error, const char* text = "Creatie socket NIET mogelijk") {
  return "Melding: " + std::to_string(number) + " ERROR: " + std::to_string(error) + "\r\n" + text;
}

TEST_P(Lifecycle, APortInUseSaysSoAndAStartLaterSavesAndBeginsTheCountAgain) {
  const ServerKind kind = GetParam();
  RecordingServerView blockerView;
  auto blocker = Started(kind, &blockerView);
  const std::uint16_t port = blocker->LocalPort();
  auto server = Make(kind, port);
  server->SetEnabled(true);  // enabled, but its port is taken: the status says it could not start
  blocker->StopServer();
  server->SetEnabled(true);
  Ask(kind, port);
  Ask(kind, port);  // a TCP server now holds connections in TIME_WAIT
  // The count of the old socket may still be on its way to the logic side: it must not show.
  ASSERT_EQ(Saved(*server), 0);
  logic_.run_for(100ms);
  EXPECT_EQ(server->GetStatusText(), "0");
  EXPECT_EQ(Make(kind)->Port(), port);
  Ask(kind, port);
  EXPECT_TRUE(StatusBecomes(*server, "1"));
  EXPECT_EQ(view.errors, std::vector<std::string>{Message(1, EADDRINUSE)});
  ASSERT_GE(view.requestTexts.size(), 4u);
  EXPECT_EQ(view.requestTexts.front(), "Err:Start");
  EXPECT_EQ(std::vector(view.requestTexts.end() - 3, view.requestTexts.end()), (std::vector<std::string>{"disabled", "0", "1"}))
      << "the save restarts it, and the count begins again";
}

TEST_P(Lifecycle, TypedPortsAndAFailedSaveAreRefusedWithNumberedMessagesAndTheServerRunsOn) {
  const ServerKind kind = GetParam();
  auto server = Started(kind);
  const std::uint16_t port = server->LocalPort();
  ASSERT_EQ(Saved(*server), 0);
  // Typed by the user: beyond what a port can be, and 0, which would bind a port nobody knows.
  for (unsigned typed : {70000u, 0u}) {
    server->SetPort(typed);
    server->SetEnabled(false);
    server->SetEnabled(true);
  }
  EXPECT_EQ(Make(kind)->Port(), port) << "only a save writes the port";
  std::filesystem::remove(profile.Path());
  std::filesystem::create_directory(profile.Path());  // a profile that cannot be written
  server->SetPort(port);
  server->SetEnabled(true);
  EXPECT_EQ(Saved(*server), EISDIR);
  EXPECT_TRUE(server->Running());
  EXPECT_EQ(view.errors, (std::vector<std::string>{Message(1, EINVAL), Message(2, EINVAL),
                                                    Message(3, EISDIR, "Instellingen NIET te bewaren")}));
}

// One of each transport: what differs between the kinds is only the answer.
INSTANTIATE_TEST_SUITE_P(Servers, Lifecycle, ::testing::Values(ServerKind::TimeTcp, ServerKind::DaytimeUdp),
                         [](const auto& p) { return p.param == ServerKind::TimeTcp ? "TimeTcp" : "DaytimeUdp"; });

TEST_F(ServerTest, ATcpClientThatSendsStillGetsTheAnswerAndACleanEnd) {
  auto server = Started(ServerKind::TimeTcp);
  // The request waits before the server accepts: left unread, it would reset the connection.
  io_.stop();
  ioThread_.join();
  Peer peer(Peer::Type::Tcp, server->LocalPort());
  peer.Send("QZ" + std::string(3000, 'x'));
  io_.restart();
  ioThread_ = std::thread([this] { io_.run(); });
  EXPECT_EQ(peer.Receive(2s), (std::vector<Bytes>{{0xC1, 0xBC, 0xAE, 0x00}, {}}));
}

}  // namespace
}  // namespace horavex::testing
