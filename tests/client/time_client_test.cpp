// The synchronisation request of every client kind against scripted servers on loopback.
#include <gtest/gtest.h>

#include <thread>

#include "client_fixture.h"
#include "support/scripted_server.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;

const char* const kBadAnswer = "Verkeerd of geen resultaat ontvangen";
const char* const kNoConnection = "Geen verbinding met server\r\nof de poort is niet te openen";

Transport TransportOf(ClientKind k) { return IsDatagram(k) ? Transport::Udp : Transport::Tcp; }

// A good answer of `kind` for Unix time `t` (SNTP with 250 ms).
Bytes GoodAnswer(ClientKind kind, std::int64_t t) {
  switch (kind) {
    case ClientKind::TimeTcp:
    case ClientKind::TimeUdp: return TimeAnswer(t);
    case ClientKind::DaytimeTcp:
    case ClientKind::DaytimeUdp: return DaytimeAnswer(DaytimeLine(LocalBreakdown(t)));
    case ClientKind::SntpUdp: return SntpAnswer(t, 250);
  }
  return {};
}

std::string FirstLine(const std::string& s) { return s.substr(0, s.find("\r\n")); }

class EveryKind : public ClientTest, public ::testing::WithParamInterface<ClientKind> {};
INSTANTIATE_TEST_SUITE_P(Client, EveryKind,
                         ::testing::Values(ClientKind::TimeTcp, ClientKind::TimeUdp, ClientKind::DaytimeTcp,
                                           ClientKind::DaytimeUdp, ClientKind::SntpUdp));

TEST_P(EveryKind, GoodAnswerSetsTheClockAndReportsSuccess) {
  const ClientKind kind = GetParam();
  ScriptedServer server(Script::Answer(TransportOf(kind), GoodAnswer(kind, kNow + 100)));
  RecordingView view;
  auto client = MakeClient(kind, server.Port(), view);
  Synchro(*client);

  ASSERT_TRUE(clock_.LastSet().has_value()) << view.messages;
  SystemTime expected = SystemTimeFromUnix(kNow + 100, kind == ClientKind::SntpUdp ? 250 : 500);
  expected.wDayOfWeek = SystemTimeFromUnix(kNow, 0).wDayOfWeek;  // kept as read
  EXPECT_EQ(*clock_.LastSet(), expected) << "Time and Daytime keep the clock's milliseconds";
  EXPECT_EQ(view.messages, "Oke\r\nTijd is ingesteld...");
  EXPECT_EQ(view.statusLines, (std::vector<std::string>{"Start aanvraag", "Aanvraag gereed"}));
  EXPECT_TRUE(view.synchroEnabled);
  EXPECT_EQ(client->Failures(), 0);
  EXPECT_EQ(client->SyncCount(), 1);
  EXPECT_EQ(view.lastSync, "06 Dec 12:01:40");
  EXPECT_EQ(view.lastAttempt, "06 Dec 12:01:40");
  EXPECT_EQ(lastSyncs_, (std::vector<std::pair<ClientKind, std::int64_t>>{{kind, kNow + 100}}));

  // What the server received: nothing over TCP, "QZ" over UDP, the 48-byte request for SNTP.
  ASSERT_TRUE(server.WaitForRequests(1, 1s));
  const Bytes request = server.Requests().at(0);
  if (kind == ClientKind::SntpUdp) {
    ASSERT_EQ(request.size(), 48u);
    EXPECT_EQ(request[0], 0x1B);
    double ole;
    std::memcpy(&ole, &request[40], 8);
    EXPECT_NEAR(ole, 46362.5, 1.0 / 86400) << "the local OLE date of 2026-12-06 12:00:00";
  } else if (IsDatagram(kind)) {
    EXPECT_EQ(request, (Bytes{'Q', 'Z'}));
  } else {
    EXPECT_TRUE(request.empty());
  }
}

TEST_P(EveryKind, SilentServerIsAReceiveFailureAtTheDeadline) {
  const ClientKind kind = GetParam();
  ScriptedServer server(Script::Silent(TransportOf(kind)));
  RecordingView view;
  auto client = MakeClient(kind, server.Port(), view);
  const auto start = std::chrono::steady_clock::now();
  Synchro(*client);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(view.messages, std::string("Melding: 1 ERROR: -110 \r\n") + kBadAnswer);
  EXPECT_EQ(client->Failures(), 1);
  EXPECT_FALSE(clock_.LastSet().has_value());
  EXPECT_EQ(view.Status(), "Aanvraag gereed");
  EXPECT_TRUE(view.synchroEnabled);
}

TEST_P(EveryKind, ShortZeroAndSlowAnswers) {
  const ClientKind kind = GetParam();
  const Transport t = TransportOf(kind);
  const Bytes good = GoodAnswer(kind, kNow + 1);
  struct Case {
    const char* name;
    Script script;
    std::string message;
  } cases[] = {
      {"too short", Script::TooShort(t), std::string("Melding: 1 ERROR: 3 \r\n") + kBadAnswer},
      {"first byte zero", Script::FirstByteZero(t, good),
       "Melding: 1 ERROR: " + std::to_string(good.size()) + " \r\n" + kBadAnswer},
      {"slower than the deadline", Script::Slow(t, 1500ms, good), std::string("Melding: 1 ERROR: -110 \r\n") + kBadAnswer},
      {"slow but in time", Script::Slow(t, 150ms, good), "Oke\r\nTijd is ingesteld..."},
  };
  for (auto& c : cases) {
    ScriptedServer server(c.script);
    RecordingView view;
    auto client = MakeClient(kind, server.Port(), view);
    Synchro(*client);
    EXPECT_EQ(view.messages, c.message) << c.name;
  }
}

TEST_P(EveryKind, OversizedAnswerKeepsItsFirst62Bytes) {
  const ClientKind kind = GetParam();
  ScriptedServer server(Script::Oversized(TransportOf(kind)));
  RecordingView view;
  auto client = MakeClient(kind, server.Port(), view);
  Synchro(*client);
  EXPECT_EQ(FirstLine(view.messages).find(kBadAnswer), std::string::npos);
  EXPECT_NE(view.messages.find("ERROR"), std::string::npos) << "100 bytes of nonsense are not a time";
  std::size_t nonZero = 0;
  for (auto b : client->Answer()) nonZero += b != 0;
  EXPECT_GT(nonZero, 40u) << "the area holds the start of the answer";
}

TEST_F(ClientTest, EveryOutcomeHasItsTextAndNumber) {
  struct Case {
    const char* name;
    ClientKind kind;
    Script script;
    int maxOffset;
    std::string message;
  } cases[] = {
      {"SNTP server not synchronised", ClientKind::SntpUdp, Script::SntpLeapAlarm(kNow), 0,
       "Melding: 1 ERROR: 0 \r\nOngeldige datum/tijd.."},
      {"xinetd's Daytime form", ClientKind::DaytimeTcp, Script::Answer(Transport::Tcp, DaytimeAnswer("06 DEC 2026 17:33:22 UTC\r\n")),
       0, "Melding: 1 ERROR: 0 \r\nOngeldige datum/tijd.."},
      {"Daytime garbage", ClientKind::DaytimeUdp, Script::Garbage(Transport::Udp, 40), 0,
       "Melding: 1 ERROR: 0 \r\nOngeldige datum/tijd.."},
      {"Time before 1970", ClientKind::TimeTcp, Script::Answer(Transport::Tcp, {0x7C, 0x55, 0x81, 0x7F}), 0,
       "Melding: 1 ERROR: 0 \r\nOngeldige datum/tijd.."},
      {"2036 wrap beyond the limit", ClientKind::TimeUdp, Script::Answer(Transport::Udp, {0x01, 0, 0, 0}), 8,
       "Melding: 1 ERROR: 306197312 \r\nDatum / tijd wijkt TEVEEL af, abort"},
      {"TCP answers nothing and closes", ClientKind::TimeTcp, Script::Answer(Transport::Tcp, {}), 0,
       std::string("Melding: 1 ERROR: 0 \r\n") + kBadAnswer},
  };
  for (auto& c : cases) {
    ScriptedServer server(c.script);
    RecordingView view;
    auto client = MakeClient(c.kind, server.Port(), view);
    client->Settings().m_nMaxOffsetIndex = c.maxOffset;
    Synchro(*client);
    EXPECT_EQ(view.messages, c.message) << c.name;
    EXPECT_FALSE(clock_.LastSet().has_value()) << c.name;
  }
}

TEST_F(ClientTest, DaytimeTextFillingTheWholeAreaIsParsedToItsEnd) {
  ScriptedServer server(Script::DaytimeUnterminated(Transport::Udp, "Sun Dec 06 12:00:07 2026"));
  RecordingView view;
  auto client = MakeClient(ClientKind::DaytimeUdp, server.Port(), view);
  Synchro(*client);
  EXPECT_EQ(view.messages, "Oke\r\nTijd is ingesteld...");
  ASSERT_TRUE(clock_.LastSet());
  EXPECT_EQ(clock_.LastSet()->wSecond, 7);
}

TEST_F(ClientTest, ConnectionFailuresAreStepFiveWithTheSocketError) {
  // A port nobody listens on: TCP is refused at connect, UDP learns it from the ICMP answer.
  std::uint16_t closed;
  {
    ScriptedServer probe(Script::Silent(Transport::Tcp));
    closed = probe.Port();
  }
  RecordingView tcpView, udpView, bigView;
  auto tcp = MakeClient(ClientKind::TimeTcp, closed, tcpView);
  auto udp = MakeClient(ClientKind::TimeUdp, closed, udpView);
  auto big = MakeClient(ClientKind::SntpUdp, 70000, bigView);
  Synchro(*tcp);
  Synchro(*udp);
  Synchro(*big);
  EXPECT_EQ(tcpView.messages, std::string("Melding: 1 ERROR: 111 \r\n") + kNoConnection);
  EXPECT_EQ(udpView.messages, std::string("Melding: 1 ERROR: -111 \r\n") + kBadAnswer);
  EXPECT_EQ(bigView.messages, std::string("Melding: 1 ERROR: 22 \r\n") + kNoConnection)
      << "a port above 65535 is refused, never cut to another port";
  EXPECT_EQ(big->Answer(), AnswerArea{}) << "a request that never received leaves the area alone";
}

TEST_F(ClientTest, HostNamesAreLookedUp) {
  ScriptedServer server(Script::Answer(Transport::Tcp, TimeAnswer(kNow)));
  RecordingView view;
  auto client = MakeClient(ClientKind::TimeTcp, server.Port(), view);
  client->Settings().m_strServer = "localhost";  // from /etc/hosts: no name server is asked
  Synchro(*client);
  EXPECT_EQ(view.messages, "Oke\r\nTijd is ingesteld...");
}

TEST_F(ClientTest, MaximumCorrectionRefusesTheLimitItself) {
  for (int delta : {-5, 4}) {
    ScriptedServer server(Script::Answer(Transport::Tcp, TimeAnswer(clock_.Time() + delta)));
    RecordingView view;
    auto client = MakeClient(ClientKind::TimeTcp, server.Port(), view);
    client->Settings().m_nMaxOffsetIndex = 1;
    Synchro(*client);
    if (std::abs(delta) == 5) {
      EXPECT_EQ(view.messages, "Melding: 1 ERROR: 5 \r\nDatum / tijd wijkt TEVEEL af, abort") << delta;
    } else {
      EXPECT_EQ(view.messages, "Oke\r\nTijd is ingesteld...") << delta;
    }
  }
}

TEST_F(ClientTest, ClockThatCannotBeSetIsReportedWithItsError) {
  clock_.FailSetsWith(EPERM);
  ScriptedServer server(Script::Answer(Transport::Udp, SntpAnswer(kNow, 0)));
  RecordingView view;
  auto client = MakeClient(ClientKind::SntpUdp, server.Port(), view);
  Synchro(*client);
  EXPECT_EQ(view.messages, "Melding: 1 ERROR: 1 \r\nKon de TIJD niet instellen (rechten?)");
  EXPECT_EQ(client->LastSync(), 0);
}

TEST_F(ClientTest, TenFailuresStopTheTimerUntilASuccess) {
  ScriptedServer refusing(Script::TooShort(Transport::Udp));
  RecordingView view;
  auto client = MakeClient(ClientKind::TimeUdp, refusing.Port(), view);
  client->StartClient();
  for (int i = 1; i <= 9; ++i) Synchro(*client);
  EXPECT_EQ(FirstLine(view.messages), "Melding: 9 ERROR: 3 ");
  EXPECT_EQ(client->GetStatusText(), "0");
  Synchro(*client);
  EXPECT_EQ(FirstLine(view.messages), "Melding: 10 ERROR: 3 STOPPED");
  EXPECT_EQ(client->GetStatusText(), "Err:Stop");

  client->OnTimer();  // a tick no longer starts a request
  EXPECT_FALSE(client->IsRequestActive());
  Synchro(*client);  // the Synchro button still does
  EXPECT_EQ(FirstLine(view.messages), "Melding: 11 ERROR: 3 STOPPED");
  client->StopClient();
  client->StartClient();
  EXPECT_EQ(client->GetStatusText(), "Err:Stop") << "a restart does not reset the failures";

  ScriptedServer good(Script::Answer(Transport::Udp, TimeAnswer(kNow)));
  client->Settings().m_nPort = good.Port();
  Synchro(*client);
  EXPECT_EQ(client->Failures(), 0);
  EXPECT_EQ(client->GetStatusText(), "1");
  client->OnTimer();
  EXPECT_TRUE(client->IsRequestActive()) << "ticks start requests again";
  ASSERT_TRUE(RunUntil([&] { return !client->IsRequestActive(); }));
}

TEST_F(ClientTest, WarningBoxesFollowTheWarningLevel) {
  ScriptedServer refusing(Script::TooShort(Transport::Tcp));
  const auto boxesFor = [&](int level, int failures) {
    RecordingView view;
    auto client = MakeClient(ClientKind::DaytimeTcp, refusing.Port(), view);
    client->Settings().m_nWarnLevel = level;
    std::vector<bool> shown;
    for (int i = 0; i < failures; ++i) {
      const std::size_t before = view.warnings.size();
      Synchro(*client);
      shown.push_back(view.warnings.size() > before);
    }
    return std::make_pair(shown, view.warnings);
  };
  EXPECT_EQ(boxesFor(2, 3).first, (std::vector<bool>{false, true, true}));
  const auto [shown, warnings] = boxesFor(4, 1);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].title, "Client DayTime TCP");
  EXPECT_EQ(warnings[0].text, std::string(kBadAnswer) + "\r\n[ERROR: 3]");
}

TEST_F(ClientTest, SecondRequestWhileTheWarningIsOpenIsRefusedAndOthersGoOn) {
  ScriptedServer refusing(Script::TooShort(Transport::Udp));
  ScriptedServer good(Script::Answer(Transport::Tcp, TimeAnswer(kNow)));
  RecordingView view, otherView;
  view.holdWarnings = true;
  auto client = MakeClient(ClientKind::TimeUdp, refusing.Port(), view);
  client->Settings().m_nWarnLevel = 4;
  auto other = MakeClient(ClientKind::TimeTcp, good.Port(), otherView);

  client->DoSynchro();
  ASSERT_TRUE(RunUntil([&] { return !view.openWarnings.empty(); }));
  EXPECT_EQ(client->GetStatusText(), "Disabled");
  client->StartClient();
  EXPECT_EQ(client->GetStatusText(), "-BUSY-");
  const std::string messages = view.messages;
  client->DoSynchro();
  client->OnTimer();
  EXPECT_EQ(view.Status(), "Aanvraag loopt reeds");
  EXPECT_EQ(view.messages, messages);
  EXPECT_EQ(client->Failures(), 1);
  EXPECT_FALSE(view.synchroEnabled);

  Synchro(*other);  // meanwhile another client completes its request
  EXPECT_EQ(otherView.messages, "Oke\r\nTijd is ingesteld...");
  EXPECT_TRUE(client->IsBusy());

  view.CloseWarning();
  ASSERT_TRUE(RunUntil([&] { return !client->IsRequestActive(); }));
  EXPECT_EQ(view.Status(), "Aanvraag gereed");
  EXPECT_TRUE(view.synchroEnabled);
  EXPECT_EQ(refusing.RequestCount(), 1u);
}

// A clock whose next readings of the full time throw, as an allocation that fails would.
class ThrowingClock final : public Clock {
 public:
  explicit ThrowingClock(Clock& inner) : inner_(inner) {}
  std::int64_t Time() override { return inner_.Time(); }
  SystemTime GetSystemTime() override {
    if (throws > 0 && throws--) throw std::bad_alloc();
    return inner_.GetSystemTime();
  }
  int SetSystemTime(const SystemTime& t) override { return inner_.SetSystemTime(t); }
  int throws = 1;

 private:
  Clock& inner_;
};

TEST_F(ClientTest, WhatIsThrownInsideARequestEndsItAsACountedFailure) {
  ScriptedServer server(Script::Answer(Transport::Udp, TimeAnswer(kNow)));
  const struct {
    const char* name;
    const char* viewThrowsAt;
    int clockThrows;
    const char* message;
  } cases[] = {
      {"clock", "", 1, "Melding: 1 ERROR: -12 \r\nVerkeerd of geen resultaat ontvangen"},
      {"view", "Start aanvraag", 0, "Melding: 1 ERROR: -11 \r\nVerkeerd of geen resultaat ontvangen"},
  };
  for (const auto& c : cases) {
    ThrowingClock clock(clock_);
    clock.throws = c.clockThrows;
    RecordingView view;
    view.throwAt = c.viewThrowsAt;
    auto client = MakeClient(ClientKind::TimeUdp, server.Port(), view, &clock);
    Synchro(*client);
    EXPECT_EQ(view.messages, c.message) << c.name;
    EXPECT_EQ(view.Status(), "Aanvraag gereed") << c.name;
    EXPECT_TRUE(view.synchroEnabled) << c.name;
    Synchro(*client);
    EXPECT_EQ(view.messages, "Oke\r\nTijd is ingesteld...") << c.name << ": the next request runs";
  }
}

TEST_F(ClientTest, ATickWhileTheRequestWaitsIsHeldUntilItEnds) {
  ScriptedServer server(Script::Slow(Transport::Udp, 150ms, TimeAnswer(kNow)));
  RecordingView view;
  auto client = MakeClient(ClientKind::TimeUdp, server.Port(), view);
  client->StartClient();
  client->DoSynchro();
  ASSERT_TRUE(RunUntil([&] { return server.RequestCount() == 1; }));
  client->OnTimer();
  client->OnTimer();  // missed ticks do not pile up
  ASSERT_TRUE(RunUntil([&] { return client->SyncCount() == 2 && !client->IsRequestActive(); }));
  EXPECT_EQ(std::count(view.statusLines.begin(), view.statusLines.end(), "Aanvraag loopt reeds"), 0);
  io_.run_for(300ms);
  EXPECT_EQ(server.RequestCount(), 2u);
}

TEST_F(ClientTest, ConnectionModesDecideWhetherARequestIsMade) {
  ScriptedServer server(Script::Answer(Transport::Udp, TimeAnswer(kNow)));
  RecordingView view;
  auto client = MakeClient(ClientKind::TimeUdp, server.Port(), view);

  // Mode 0 without any network: nothing visible at all.
  port_->connected = false;
  Synchro(*client);
  EXPECT_TRUE(view.statusLines.empty());
  EXPECT_TRUE(view.synchroEnabled);
  EXPECT_EQ(view.messageCount, 0);
  EXPECT_TRUE(port_->Log().empty());

  // Mode 1 on a LAN only: "Geen MODEM verbinding", no failure counted.
  port_->connected = true;
  ASSERT_TRUE(profile_.WriteInt("COMMON", "CheckConnect", 1));
  Synchro(*client);
  EXPECT_EQ(view.statusLines, std::vector<std::string>{"Geen MODEM verbinding"});
  EXPECT_EQ(client->Failures(), 0);
  EXPECT_EQ(client->LastAttempt(), 0);
  EXPECT_EQ(server.RequestCount(), 0u);

  // Mode 2: one dial before, one hang-up after.
  ASSERT_TRUE(profile_.WriteInt("COMMON", "CheckConnect", 2));
  ASSERT_TRUE(profile_.WriteString("COMMON", "Connection", "provider"));
  port_->modemFollowsDial = true;
  Synchro(*client);
  EXPECT_EQ(view.messages, "Oke\r\nTijd is ingesteld...");
  EXPECT_EQ(port_->Log(), (std::vector<std::string>{"dial provider", "hangup 1"}));
}

TEST_F(ClientTest, FailingClientRewritesItsOwnEarlierSuccessIntoTheSharedTexts) {
  ScriptedServer good(Script::Answer(Transport::Tcp, TimeAnswer(kNow)));
  ScriptedServer bad(Script::TooShort(Transport::Tcp));
  RecordingView neverView, onceView;
  auto never = MakeClient(ClientKind::DaytimeTcp, bad.Port(), neverView);
  auto once = MakeClient(ClientKind::TimeTcp, good.Port(), onceView);

  Synchro(*never);
  EXPECT_TRUE(lastSyncs_.empty()) << "a client that never succeeded tells nothing";
  EXPECT_TRUE(neverView.lastSync.empty());

  Synchro(*once);  // sets the clock to kNow: 12:00:00
  time_.Advance(90s);
  once->Settings().m_nPort = bad.Port();
  Synchro(*once);
  EXPECT_EQ(lastSyncs_, (std::vector<std::pair<ClientKind, std::int64_t>>{{ClientKind::TimeTcp, kNow},
                                                                          {ClientKind::TimeTcp, kNow}}));
  EXPECT_EQ(onceView.lastAttempt, "06 Dec 12:01:30");
}

TEST_F(ClientTest, SchedulingAndStatusTexts) {
  RecordingView view;
  ASSERT_TRUE(profile_.WriteInt("SNTP CLIENT UDP", "Interval", 1440));
  auto client = MakeClient(ClientKind::SntpUdp, 1, view);
  EXPECT_EQ(client->GetStatusText(), "Disabled");
  EXPECT_TRUE(client->StartClient());
  EXPECT_EQ(view.Status(), "Client gestart");
  EXPECT_EQ(client->TimerPeriod(), std::chrono::milliseconds(86400000));
  EXPECT_EQ(client->GetStatusText(), "0");
  EXPECT_FALSE(client->StartClient()) << "a second start changes nothing";
  EXPECT_EQ(view.statusLines.size(), 1u);
  client->StopClient();
  EXPECT_EQ(view.Status(), "Client gestopt");
  EXPECT_EQ(client->GetStatusText(), "Disabled");

  // Saving while running restarts the interval with the new period.
  client->SetEnabled(true);
  client->Settings().m_nIntervalIndex = 0;
  ASSERT_TRUE(client->Save());
  EXPECT_EQ(client->TimerPeriod(), std::chrono::minutes(1));
  EXPECT_EQ(profile_.GetInt("SNTP CLIENT UDP", "Interval", 0), 1);
  EXPECT_EQ(profile_.GetInt("SNTP CLIENT UDP", "StartUp", 0), 1);
  EXPECT_EQ(view.Status(), "Client gestart");
}

TEST_F(ClientTest, EnabledClientStartsAndAsksOnceAtCreation) {
  ScriptedServer server(Script::Answer(Transport::Udp, TimeAnswer(kNow)));
  ASSERT_TRUE(profile_.WriteInt("TIME CLIENT UDP", "StartUp", 1));
  RecordingView view;
  auto client = MakeClient(ClientKind::TimeUdp, server.Port(), view);
  client->StartUpIfEnabled();
  ASSERT_TRUE(RunUntil([&] { return !client->IsRequestActive(); }));
  EXPECT_EQ(view.statusLines.front(), "Client gestart");
  EXPECT_EQ(client->GetStatusText(), "1");
}

TEST_F(ClientTest, ClientDestroyedMidRequestLeavesNothingBehind) {
  ScriptedServer server(Script::Silent(Transport::Tcp));
  RecordingView view;
  auto client = MakeClient(ClientKind::TimeTcp, server.Port(), view);
  client->DoSynchro();
  ASSERT_TRUE(server.WaitForRequests(1, 2s) || RunUntil([&] { return server.RequestCount() > 0; }));
  client.reset();
  io_.restart();
  io_.run_for(600ms);  // the request's deadline passes with the client gone
  SUCCEED();
}

TEST_F(ClientTest, SocketsOnAnIoThreadHandBackToTheLogicThread) {
  asio::io_context ioThreadContext;
  auto work = asio::make_work_guard(ioThreadContext);
  std::thread ioThread([&] { ioThreadContext.run(); });
  ScriptedServer server(Script::Answer(Transport::Udp, SntpAnswer(kNow, 999)));
  RecordingView view;
  TimeClient client(ClientKind::SntpUdp,
                    ClientServices{{ioThreadContext.get_executor(), io_.get_executor()}, profile_, clock_, *dialup_},
                    view);
  client.Settings().m_strServer = "127.0.0.1";
  client.Settings().m_nPort = server.Port();
  std::thread::id finishedOn;
  client.SetFinishedObserver([&] { finishedOn = std::this_thread::get_id(); });
  client.DoSynchro();
  ASSERT_TRUE(RunUntil([&] { return !client.IsRequestActive(); }));
  EXPECT_EQ(finishedOn, std::this_thread::get_id());
  EXPECT_EQ(view.messages, "Oke\r\nTijd is ingesteld...");
  EXPECT_EQ(clock_.LastSet()->wMilliseconds, 999);
  work.reset();
  ioThreadContext.stop();
  ioThread.join();
}

}  // namespace
}  // namespace horavex::testing
