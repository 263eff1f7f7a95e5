// The synchronisation request and scheduling of the clients against scripted servers on loopback.
#include <gtest/gtest.h>

#include <thread>

#include "client_fixture.h"
#include "protocol/calendar.h"
#include "support/scripted_server.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;
using Syncs = std::vector<std::pair<ClientKind, std::int64_t>>;

const std::string kOk = "Oke\r\nTijd is ingesteld...";
const std::string kBad = "Verkeerd of geen resultaat ontvangen";
const std::string kNoConnection = "Geen verbinding met server\r\nof de poort is niet te openen";
const std::string kInvalid = "Ongeldige datum/tijd..";
std::string Failed(int number, const std::string& text) { return "Melding: 1 ERROR: " + std::to_string(number) + " \r\n" + text; }

Transport TransportOf(ClientKind k) { return IsDatagram(k) ? Transport::Udp : Transport::Tcp; }
constexpr const char* kNames[] = {"TimeTcp", "TimeUdp", "DaytimeTcp", "DaytimeUdp", "SntpUdp"};

// A good answer of `kind` for Unix time `t` (SNTP with 250 ms).
Bytes GoodAnswer(ClientKind kind, std::int64_t t) {
  if (kind == ClientKind::SntpUdp) return SntpAnswer(t, 250);
  if (kind == ClientKind::TimeTcp || kind == ClientKind::TimeUdp) return TimeAnswer(t);
  return DaytimeAnswer(DaytimeLine(LocalBreakdown(t)));
}
Bytes With(Bytes b, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
  return b;
}

class EveryKind : public ClientTest, public ::testing::WithParamInterface<ClientKind> {};
INSTANTIATE_TEST_SUITE_P(Client, EveryKind, ::testing::Values(ClientKind::TimeTcp, ClientKind::TimeUdp,
                                                              ClientKind::DaytimeTcp, ClientKind::DaytimeUdp,
                                                              ClientKind::SntpUdp),
                         [](const auto& p) { return std::string(kNames[static_cast<int>(p.param)]); });

TEST_P(EveryKind, GoodAnswerSetsTheClockAndReportsSuccess) {
  const ClientKind kind = GetParam();
  ScriptedServer server(Script::Answer(TransportOf(kind), GoodAnswer(kind, kNow + 100)));
  RecordingView view;
  auto client = MakeClient(kind, server.Port(), view);
  Synchro(*client);

  SystemTime expected = SystemTimeFromUnix(kNow + 100, kind == ClientKind::SntpUdp ? 250 : 500);
  expected.wDayOfWeek = SystemTimeFromUnix(kNow, 0).wDayOfWeek;  // kept as read
  EXPECT_EQ(clock_.LastSet(), expected) << "Time and Daytime keep the clock's milliseconds";
  EXPECT_EQ(view.messages, kOk);
  EXPECT_EQ(view.statusLines, (std::vector<std::string>{"Start aanvraag", "Aanvraag gereed"}));
  EXPECT_EQ(client->SyncCount(), 1);
  EXPECT_EQ(view.lastSync, "06 Dec 12:01:40");
  EXPECT_EQ(view.lastAttempt, "06 Dec 12:01:40");
  EXPECT_EQ(lastSyncs_, (Syncs{{kind, kNow + 100}}));

  // What the server received: nothing over TCP, "QZ" over UDP, the 48-byte request for SNTP.
  const Bytes request = server.Requests().at(0);
  if (kind == ClientKind::SntpUdp) {
    const NtpPacket noon = MakeSntpRequest(46362.5);  // the local OLE date of 2026-12-06 12:00:00
    EXPECT_EQ(request, Bytes(noon.begin(), noon.end()));
  } else {
    EXPECT_EQ(request, (IsDatagram(kind) ? Bytes{'Q', 'Z'} : Bytes{}));
  }
}

struct OutcomeCase {
  const char* name;
  ClientKind kind;
  Script script;
  std::string message;
  int maxOffset = 0;
  unsigned port = 0;  // 0: the scripted server's
  int clockError = 0;
  const char* host = "127.0.0.1";
};
void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.name; }
class Outcome : public ClientTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(Outcome, IsReportedWithItsTextAndNumber) {
  const OutcomeCase& c = GetParam();
  ScriptedServer server(c.script);
  RecordingView view;
  auto client = MakeClient(c.kind, c.port ? c.port : server.Port(), view);
  client->Settings().m_strServer = c.host;
  client->Settings().m_nMaxOffsetIndex = c.maxOffset;
  clock_.FailSetsWith(c.clockError);
  Synchro(*client);
  EXPECT_EQ(view.messages, c.message);
  EXPECT_EQ(clock_.LastSet().has_value(), c.message == kOk);
  EXPECT_EQ(client->Failures(), c.message == kOk ? 0 : 1);
  EXPECT_EQ(view.Status(), "Aanvraag gereed");
  EXPECT_TRUE(view.synchroEnabled);

  // The answer area keeps what arrived in time, valid or not, cut at 62 bytes.
  AnswerArea kept{};
  Bytes sent;
  for (const Bytes& s : c.script.segments) sent.insert(sent.end(), s.begin(), s.end());
  if (c.port == 0 && c.script.delay * std::max<std::size_t>(1, c.script.segments.size()) < 400ms)
    std::copy_n(sent.begin(), std::min(sent.size(), kAnswerSize), kept.begin());
  if (c.kind == ClientKind::SntpUdp && c.script.echoOriginate && sent.size() >= 32)
    std::copy_n(client->Answer().begin() + 24, 8, kept.begin() + 24);  // the request's own timestamp
  EXPECT_EQ(client->Answer(), kept);
}

const Bytes kSntp = SntpAnswer(kNow, 0);
const ClientKind kTimeTcp = ClientKind::TimeTcp, kTimeUdp = ClientKind::TimeUdp, kDayTcp = ClientKind::DaytimeTcp,
                 kDayUdp = ClientKind::DaytimeUdp, kSntpUdp = ClientKind::SntpUdp;
const Transport kTcp = Transport::Tcp, kUdp = Transport::Udp;

INSTANTIATE_TEST_SUITE_P(
    Client, Outcome,
    ::testing::Values(
        OutcomeCase{"SilentTcp", kTimeTcp, Script::Silent(kTcp), Failed(-110, kBad)},
        OutcomeCase{"SilentUdp", kSntpUdp, Script::Silent(kUdp), Failed(-110, kBad)},
        OutcomeCase{"SlowPastTheDeadline", kDayUdp, {kUdp, {DaytimeAnswer("Sun Dec 06 12:00:07 2026")}, 600ms},
                    Failed(-110, kBad)},
        OutcomeCase{"SlowButInTime", kTimeTcp, {kTcp, {TimeAnswer(kNow)}, 150ms}, kOk},
        OutcomeCase{"TimeInTwoSegments", kTimeTcp, {kTcp, {{0xEE, 0xBF}, {0xCC, 0xC0}}, 100ms}, kOk},
        OutcomeCase{"DaytimeLineInTwoPieces", kDayTcp, {kTcp, {DaytimeAnswer("Sun Dec 06 1"), DaytimeAnswer("2:00:07 2026\r\n")}, 100ms},
                    kOk},
        OutcomeCase{"ShortTcp", kTimeTcp, Script::Answer(kTcp, {0xBC, 0x17, 0xC2}), Failed(3, kBad)},
        OutcomeCase{"ShortUdp", kTimeUdp, Script::Answer(kUdp, {0xBC, 0x17, 0xC2}), Failed(3, kBad)},
        OutcomeCase{"TcpClosesWithoutAnswer", kTimeTcp, Script::Answer(kTcp, {}), Failed(0, kBad)},
        OutcomeCase{"FirstByteZero", kDayTcp, Script::Answer(kTcp, DaytimeAnswer(std::string_view("\0ue Dec 06", 10))),
                    Failed(10, kBad)},
        OutcomeCase{"TooLong", kDayUdp, Script::Answer(kUdp, Bytes(100, 'A')), Failed(0, kInvalid)},
        OutcomeCase{"Garbage", kTimeUdp, Script::Answer(kUdp, {0x41, 0x9C, 0x07, 0xE3, 0x5A}), Failed(0, kInvalid)},
        OutcomeCase{"SntpLeapIndicator3", kSntpUdp, Script::Answer(kUdp, SntpAnswer(kNow, 0, 0xDC)), Failed(0, kInvalid)},
        OutcomeCase{"SntpShort", kSntpUdp, Script::Answer(kUdp, Bytes(kSntp.begin(), kSntp.end() - 1)), Failed(1, kInvalid)},
        OutcomeCase{"SntpZeroTransmit", kSntpUdp, Script::Answer(kUdp, With(kSntp, 40, {0, 0, 0, 0, 0, 0, 0, 0})),
                    Failed(2, kInvalid)},
        OutcomeCase{"SntpKissOfDeath", kSntpUdp, Script::Answer(kUdp, With(SntpAnswer(kNow, 0, 0xE4), 1, {0, 0, 0})),
                    Failed(3, kInvalid)},
        OutcomeCase{"SntpOriginateMismatch", kSntpUdp, {kUdp, {kSntp}, 0ms, false}, Failed(4, kInvalid)},
        OutcomeCase{"BeyondTheMaximum", kTimeUdp, Script::Answer(kUdp, {0x01, 0, 0, 0}),
                    Failed(306197312, "Datum / tijd wijkt TEVEEL af, abort"), 8},
        OutcomeCase{"TheLimitItselfIsRefused", kTimeTcp, Script::Answer(kTcp, TimeAnswer(kNow - 5)),
                    Failed(5, "Datum / tijd wijkt TEVEEL af, abort"), 1},
        OutcomeCase{"JustInsideTheLimit", kTimeTcp, Script::Answer(kTcp, TimeAnswer(kNow + 4)), kOk, 1},
        OutcomeCase{"ClockCannotBeSet", kSntpUdp, Script::Answer(kUdp, kSntp),
                    Failed(1, "Kon de TIJD niet instellen (rechten?)"), 0, 0, EPERM},
        OutcomeCase{"RefusedTcpPort", kTimeTcp, Script::Silent(kTcp), Failed(111, kNoConnection), 0, 1},
        OutcomeCase{"RefusedUdpPort", kTimeUdp, Script::Silent(kUdp), Failed(-111, kBad), 0, 1},
        OutcomeCase{"PortAbove65535", kSntpUdp, Script::Silent(kUdp), Failed(22, kNoConnection), 0, 70000},
        OutcomeCase{"HostNameLookedUp", kTimeTcp, Script::Answer(kTcp, TimeAnswer(kNow)), kOk, 0, 0, 0, "localhost"}),
    [](const auto& p) { return std::string(p.param.name); });

// A clock whose next reading of the full time throws, as an allocation that fails would.
class ThrowingClock final : public Clock {
 public:
  explicit ThrowingClock(Clock& inner) : inner_(inner) {}
  std::int64_t Time() override { return inner_.Time(); }
  SystemTime GetSystemTime() override { return throws && throws-- ? throw std::bad_alloc() : inner_.GetSystemTime(); }
  int SetSystemTime(const SystemTime& t) override { return inner_.SetSystemTime(t); }
  int throws = 1;

 private:
  Clock& inner_;
};

TEST_F(ClientTest, WhatIsThrownInsideARequestEndsItAsACountedFailure) {
  ScriptedServer server(Script::Answer(Transport::Udp, TimeAnswer(kNow)));
  const struct {
    const char* viewThrowsAt;
    int clockThrows;
    std::string message;
  } cases[] = {{"", 1, Failed(-ENOMEM, kBad)}, {"Start aanvraag", 0, Failed(-EAGAIN, kBad)}};
  for (const auto& c : cases) {
    ThrowingClock clock(clock_);
    clock.throws = c.clockThrows;
    RecordingView view;
    view.throwAt = c.viewThrowsAt;
    auto client = MakeClient(ClientKind::TimeUdp, server.Port(), view, &clock);
    Synchro(*client);
    EXPECT_EQ(view.messages, c.message);
    EXPECT_EQ(view.Status(), "Aanvraag gereed");
    Synchro(*client);
    EXPECT_EQ(view.messages, kOk) << "the next request runs";
  }
}

TEST_F(ClientTest, TenFailuresStopTheTimerUntilASuccess) {
  ScriptedServer refusing(Script::Answer(Transport::Udp, {1, 2, 3}));
  RecordingView view;
  auto client = MakeClient(ClientKind::TimeUdp, refusing.Port(), view);
  client->StartClient();
  for (int i = 1; i <= 10; ++i) Synchro(*client);
  EXPECT_EQ(view.messages, "Melding: 10 ERROR: 3 STOPPED\r\n" + kBad);
  EXPECT_EQ(client->GetStatusText(), "Err:Stop");
  client->OnTimer();  // a tick no longer starts a request
  EXPECT_FALSE(client->IsRequestActive());
  client->StopClient();
  client->StartClient();
  Synchro(*client);  // the Synchro button still does; a restart did not reset the count
  EXPECT_EQ(view.messages, "Melding: 11 ERROR: 3 STOPPED\r\n" + kBad);

  ScriptedServer good(Script::Answer(Transport::Udp, TimeAnswer(kNow)));
  client->Settings().m_nPort = good.Port();
  Synchro(*client);
  EXPECT_EQ(client->GetStatusText(), "1");
  client->OnTimer();
  EXPECT_TRUE(client->IsRequestActive()) << "ticks start requests again";
  ASSERT_TRUE(RunUntil([&] { return !client->IsRequestActive(); }));
}

TEST_F(ClientTest, WarningBoxesFollowTheWarningLevel) {
  ScriptedServer refusing(Script::Answer(Transport::Tcp, {1, 2, 3}));
  for (const auto& [level, boxes] : {std::pair{1, 1}, {2, 2}, {4, 3}, {9, 0}}) {
    RecordingView view;
    auto client = MakeClient(ClientKind::DaytimeTcp, refusing.Port(), view);
    client->Settings().m_nWarnLevel = level;
    for (int i = 0; i < 3; ++i) Synchro(*client);
    EXPECT_EQ(view.warnings.size(), static_cast<std::size_t>(boxes)) << "level " << level;
    if (boxes) {
      EXPECT_EQ(view.warnings.back(), "Client DayTime TCP: " + kBad + "\r\n[ERROR: 3]");
    }
  }
}

TEST_F(ClientTest, ARequestWhileTheWarningIsOpenIsRefusedAndOthersGoOn) {
  ScriptedServer refusing(Script::Answer(Transport::Udp, {1, 2, 3}));
  ScriptedServer good(Script::Answer(Transport::Tcp, TimeAnswer(kNow)));
  RecordingView view, otherView;
  view.holdWarnings = true;
  auto client = MakeClient(ClientKind::TimeUdp, refusing.Port(), view);
  client->Settings().m_nWarnLevel = 4;
  auto other = MakeClient(ClientKind::TimeTcp, good.Port(), otherView);
  client->StartClient();
  client->DoSynchro();
  ASSERT_TRUE(RunUntil([&] { return view.openWarning != nullptr; }));
  EXPECT_EQ(client->GetStatusText(), "-BUSY-");
  const std::string messages = view.messages;
  client->DoSynchro();
  client->OnTimer();
  EXPECT_EQ(view.statusLines, (std::vector<std::string>{"Client gestart", "Start aanvraag", "Aanvraag loopt reeds",
                                                        "Aanvraag loopt reeds"}));
  EXPECT_EQ(view.messages, messages);
  EXPECT_FALSE(view.synchroEnabled);

  Synchro(*other);  // meanwhile another client completes its request
  EXPECT_EQ(otherView.messages, kOk);
  view.openWarning();
  ASSERT_TRUE(RunUntil([&] { return !client->IsRequestActive(); }));
  EXPECT_EQ(view.Status(), "Aanvraag gereed");
  EXPECT_EQ(refusing.RequestCount(), 1u);
}

TEST_F(ClientTest, ATickWhileTheRequestWaitsIsHeldUntilItEnds) {
  ScriptedServer server({Transport::Udp, {TimeAnswer(kNow)}, 150ms});
  RecordingView view;
  auto client = MakeClient(ClientKind::TimeUdp, server.Port(), view);
  client->StartClient();
  client->DoSynchro();
  ASSERT_TRUE(RunUntil([&] { return server.RequestCount() == 1; }));
  client->OnTimer();
  client->OnTimer();  // missed ticks do not pile up
  ASSERT_TRUE(RunUntil([&] { return client->SyncCount() == 2 && !client->IsRequestActive(); }));
  io_.run_for(300ms);
  EXPECT_EQ(server.RequestCount(), 2u);
  EXPECT_EQ(view.statusLines.size(), 5u) << "no \"Aanvraag loopt reeds\"";
}

TEST_F(ClientTest, ConnectionModesDecideWhetherARequestIsMade) {
  ScriptedServer server(Script::Answer(Transport::Udp, TimeAnswer(kNow)));
  RecordingView view;
  auto client = MakeClient(ClientKind::TimeUdp, server.Port(), view);
  port_->connected = false;  // mode 0 without any network: nothing visible at all
  Synchro(*client);
  EXPECT_TRUE(view.statusLines.empty());
  EXPECT_EQ(view.messageCount, 0);

  port_->connected = true;  // mode 1 on a LAN only: "Geen MODEM verbinding", no failure counted
  ASSERT_TRUE(profile_.WriteInt("COMMON", "CheckConnect", 1));
  Synchro(*client);
  EXPECT_EQ(view.statusLines, std::vector<std::string>{"Geen MODEM verbinding"});
  EXPECT_EQ(client->Failures() + client->LastAttempt() + static_cast<int>(server.RequestCount()), 0);

  ASSERT_TRUE(profile_.WriteInt("COMMON", "CheckConnect", 2));  // mode 2: a dial before, a hang-up after
  ASSERT_TRUE(profile_.WriteString("COMMON", "Connection", "provider"));
  port_->modemFollowsDial = true;
  Synchro(*client);
  EXPECT_EQ(view.messages, kOk);
  EXPECT_EQ(port_->Log(), (std::vector<std::string>{"dial provider", "hangup 1"}));
}

TEST_F(ClientTest, AFailingClientTellsItsEarlierSuccessAgain) {
  ScriptedServer good(Script::Answer(Transport::Tcp, TimeAnswer(kNow)));
  ScriptedServer bad(Script::Answer(Transport::Tcp, {1, 2, 3}));
  RecordingView neverView, onceView;
  auto never = MakeClient(ClientKind::DaytimeTcp, bad.Port(), neverView);
  auto once = MakeClient(ClientKind::TimeTcp, good.Port(), onceView);
  Synchro(*never);
  EXPECT_TRUE(lastSyncs_.empty() && neverView.lastSync.empty()) << "a client that never succeeded tells nothing";
  Synchro(*once);
  time_.Advance(90s);
  once->Settings().m_nPort = bad.Port();
  Synchro(*once);
  EXPECT_EQ(lastSyncs_, (Syncs{{ClientKind::TimeTcp, kNow}, {ClientKind::TimeTcp, kNow}}));
  EXPECT_EQ(onceView.lastAttempt, "06 Dec 12:01:30");
}

TEST_F(ClientTest, SchedulingAndStatusTexts) {
  RecordingView view;
  ASSERT_TRUE(profile_.WriteInt("SNTP CLIENT UDP", "Interval", 1440));
  auto client = MakeClient(ClientKind::SntpUdp, 1, view);
  EXPECT_EQ(client->GetStatusText(), "Disabled");
  EXPECT_TRUE(client->StartClient());
  EXPECT_EQ(client->TimerPeriod(), std::chrono::milliseconds(86400000));
  EXPECT_EQ(client->GetStatusText(), "0");
  EXPECT_FALSE(client->StartClient()) << "a second start changes nothing";
  client->StopClient();
  EXPECT_EQ(client->GetStatusText(), "Disabled");
  EXPECT_EQ(view.statusLines, (std::vector<std::string>{"Client gestart", "Client gestopt"}));

  client->SetEnabled(true);  // saving while running restarts the interval with the new period
  client->Settings().m_nIntervalIndex = 0;
  ASSERT_TRUE(client->Save());
  EXPECT_EQ(client->TimerPeriod(), std::chrono::minutes(1));
  EXPECT_EQ(profile_.GetInt("SNTP CLIENT UDP", "StartUp", 0), 1);
}

TEST_F(ClientTest, AClientGoneMidRequestIsNotTouchedByIt) {
  ScriptedServer server(Script::Silent(Transport::Tcp));
  RecordingView view;
  auto client = MakeClient(ClientKind::TimeTcp, server.Port(), view);
  client->DoSynchro();
  ASSERT_TRUE(RunUntil([&] { return server.RequestCount() > 0; }));
  client.reset();
  io_.restart();
  io_.run_for(600ms);  // the request's deadline passes with the client gone
  EXPECT_EQ(view.messageCount, 0);
}

TEST_F(ClientTest, SocketsOnAnIoThreadHandBackToTheLogicThread) {
  asio::io_context ioThread;
  auto work = asio::make_work_guard(ioThread);
  std::thread thread([&] { ioThread.run(); });
  ScriptedServer server(Script::Answer(Transport::Udp, SntpAnswer(kNow, 999)));
  RecordingView view;
  auto client = MakeClient(ClientKind::SntpUdp, server.Port(), view, nullptr, ioThread.get_executor());
  std::thread::id finishedOn;
  client->SetFinishedObserver([&] { finishedOn = std::this_thread::get_id(); });
  Synchro(*client);
  EXPECT_EQ(finishedOn, std::this_thread::get_id());
  EXPECT_EQ(clock_.LastSet()->wMilliseconds, 999);
  work.reset();
  thread.join();
}

}  // namespace
}  // namespace horavex::testing
