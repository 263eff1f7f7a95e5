// The synchronisation request and scheduling of the clients against scripted servers on loopback,
// with a clock that only moves when the test moves it and a view that records what it was shown.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <tuple>

#include "client/time_client.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "platform/simulated_clock.h"
#include "support/fake_dialup_port.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;
using Syncs = std::vector<std::pair<ClientKind, std::int64_t>>;
using Lines = std::vector<std::string>;

constexpr std::int64_t kNow = 1796558400;  // 2026-12-06 12:00:00 UTC, a Sunday; the clock adds 500 ms
const std::string kOk = "Oke\r\nTijd is ingesteld...", kBad = "Verkeerd of geen resultaat ontvangen",
                  kNoConnection = "Geen verbinding met server\r\nof de poort is niet te openen",
                  kInvalid = "Ongeldige datum/tijd..", kTooFar = "Datum / tijd wijkt TEVEEL af, abort";
std::string Failed(int number, const std::string& text) { return "Melding: 1 ERROR: " + std::to_string(number) + " \r\n" + text; }

class View : public ClientView {
 public:
  void SetStatusLine(const std::string& t) override {
    if (std::exchange(throwAllocation, false)) throw std::bad_alloc();
    status.push_back(t);
  }
  void SetMessages(const std::string& t) override { messages = t; }
  void SetLastAttempt(const std::string& t) override { lastAttempt = t; }
  void SetLastSync(const std::string& t) override { lastSync = t; }
  void EnableSynchro(bool enabled) override { synchroEnabled = enabled; }
  void ShowWarning(const std::string& title, const std::string& text, std::function<void()> closed) override {
    warnings.push_back(title + ": " + text);
    if (!holdWarnings) return closed();
    openWarning = std::move(closed);
  }
  // Everything shown so far, in one text.
  std::string Shown() const {
    return std::to_string(status.size()) + messages + lastAttempt + lastSync + std::to_string(warnings.size()) +
           std::to_string(synchroEnabled);
  }
  Lines status, warnings;  // warnings: "title: text"
  std::string messages, lastAttempt, lastSync;
  bool synchroEnabled = true, holdWarnings = false, throwAllocation = false;  // the next status line throws
  std::function<void()> openWarning;  // closes the box held open
};

class ClientTest : public ::testing::Test {
 protected:
  ClientTest() { setenv("TZ", "UTC0", 1), tzset(); }

  // A client of `kind` asking 127.0.0.1:`port`, quick to give up, showing no warning boxes.
  std::unique_ptr<TimeClient> MakeClient(ClientKind kind, unsigned port, View& view, Clock* clock = nullptr,
                                         asio::any_io_executor io = {}) {
    auto c = std::make_unique<TimeClient>(
        kind,
        ClientServices{{io ? io : io_.get_executor(), io_.get_executor()}, profile_, clock ? *clock : clock_, dialup_,
                       dryRun_, resolve_},
        view);
    c->Settings().m_server = "127.0.0.1", c->Settings().m_port = port, c->Settings().m_warnLevel = 0;
    c->SetTimeout(400ms);
    c->SetLastSyncObserver([this](ClientKind by, std::int64_t at) { lastSyncs_.emplace_back(by, at); });
    return c;
  }
  // Runs the logic until `done` holds; false when `bound` passes first.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = 10s) {
    io_.restart();
    for (const auto limit = std::chrono::steady_clock::now() + bound; !done(); io_.run_one_for(20ms))
      if (std::chrono::steady_clock::now() > limit) return false;
    return true;
  }
  // One whole request of `client`.
  void Synchro(TimeClient& client) {
    client.DoSynchro();
    ASSERT_TRUE(RunUntil([&] { return !client.IsRequestActive(); })) << "request did not finish";
  }

  TempDir dir_;
  Profile profile_{dir_.File("horavex.ini")};
  ManualTimeSource time_{kNow * 1000 + 500};
  SimulatedClock clock_{time_.Source()};
  Syncs lastSyncs_;  // what the observers were told
  bool dryRun_ = false;
  HostResolver resolve_ = ResolveHost;
  asio::io_context io_;
  FakeDialupPort* port_ = new FakeDialupPort;
  DialupService dialup_{std::unique_ptr<DialupPort>(port_), io_.get_executor()};
};

const ClientKind kTimeTcp = ClientKind::TimeTcp, kTimeUdp = ClientKind::TimeUdp, kDayTcp = ClientKind::DaytimeTcp,
                 kDayUdp = ClientKind::DaytimeUdp, kSntpUdp = ClientKind::SntpUdp;
const Transport kTcp = Transport::Tcp, kUdp = Transport::Udp;
const Bytes kSntp = SntpAnswer(kNow, 0);
Bytes With(Bytes b, std::size_t at, Bytes bytes) { return std::copy(bytes.begin(), bytes.end(), b.begin() + long(at)), b; }

const char* const kKindNames[] = {"TimeTcp", "TimeUdp", "DaytimeTcp", "DaytimeUdp", "SntpUdp"};
class EveryKind : public ClientTest, public ::testing::WithParamInterface<ClientKind> {};
INSTANTIATE_TEST_SUITE_P(Client, EveryKind, ::testing::Values(kTimeTcp, kTimeUdp, kDayTcp, kDayUdp, kSntpUdp),
                         [](const auto& p) { return kKindNames[int(p.param)]; });

TEST_P(EveryKind, GoodAnswerSetsTheClockAndReportsSuccess) {
  const ClientKind kind = GetParam();
  const Bytes answer = kind == kSntpUdp ? SntpAnswer(kNow + 100, 250)
                       : kind == kTimeTcp || kind == kTimeUdp ? TimeAnswer(kNow + 100)
                                                              : DaytimeAnswer(DaytimeLine(LocalBreakdown(kNow + 100)));
  ScriptedServer server(Script::Answer(IsDatagram(kind) ? kUdp : kTcp, answer));
  asio::io_context sockets;  // on a thread of their own: the request must hand back to the logic thread
  auto work = asio::make_work_guard(sockets);
  std::thread socketThread([&] { sockets.run(); });
  View view;
  auto client = MakeClient(kind, server.Port(), view, nullptr, sockets.get_executor());
  std::thread::id finishedOn;
  client->SetFinishedObserver([&] { finishedOn = std::this_thread::get_id(); });
  Synchro(*client);
  work.reset(), socketThread.join();
  EXPECT_EQ(finishedOn, std::this_thread::get_id());
  EXPECT_EQ(clock_.LastSet(), SystemTimeFromUnix(kNow + 100, kind == kSntpUdp ? 250 : 500));  // else the clock's own
  EXPECT_EQ(view.messages, kOk);
  EXPECT_EQ(view.lastSync + "|" + view.lastAttempt, "06 Dec 12:01:40|06 Dec 12:01:40");
  EXPECT_EQ(lastSyncs_, (Syncs{{kind, kNow + 100}}));
  // SNTP: mode 3, version 3, and the local OLE date of 2026-12-06 12:00:00 little-endian as the transmit time.
  const double ole = 46362.5;
  Bytes request = kind == kSntpUdp ? Bytes(kNtpPacketSize, 0) : IsDatagram(kind) ? Bytes{'Q', 'Z'} : Bytes{};
  if (kind == kSntpUdp) request[0] = 0x1B, std::memcpy(&request[40], &ole, 8);
  EXPECT_EQ(server.Requests().at(0), request);
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
  bool dryRun = false;
  bool throwAllocation = false;  // the first status line cannot be shown for lack of memory
};
class Outcome : public ClientTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(Outcome, IsReportedWithItsTextAndNumber) {
  const OutcomeCase& c = GetParam();
  ScriptedServer server(c.script);
  View view;
  view.throwAllocation = c.throwAllocation;
  dryRun_ = c.dryRun;
  // Names of the test's own, whatever the machine's name servers do: one without an address, and
  // two with two, the first of which refuses or is silent.
  resolve_ = [](const std::string& host) {
    const asio::ip::address twice[] = {asio::ip::make_address("127.0.0.2"), asio::ip::make_address("127.0.0.1")};
    if (host == "unknown.test") return LookupResult{asio::error::host_not_found, {}};
    return host.ends_with("twice.test") ? LookupResult{{}, {twice[0], twice[1]}} : ResolveHost(host);
  };
  asio::ip::udp::socket silent(io_);
  if (std::string(c.host) == "silent.twice.test") silent = {io_, {asio::ip::make_address_v4("127.0.0.2"), server.Port()}};
  auto client = MakeClient(c.kind, c.port ? c.port : server.Port(), view);
  client->Settings().m_server = c.host, client->Settings().m_maxOffsetIndex = c.maxOffset;
  clock_.FailSetsWith(c.clockError);
  Synchro(*client);
  EXPECT_EQ(view.messages, c.message);
  EXPECT_EQ(clock_.LastSet().has_value() + client->Failures(), 1) << "set, or one failure counted";
  EXPECT_EQ(lastSyncs_.size(), c.message == kOk ? 1u : 0u) << "a last synchronisation only when the clock was set";
  EXPECT_TRUE(view.status.back() == "Aanvraag gereed" && view.synchroEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    Client, Outcome,
    ::testing::Values(
        OutcomeCase{"SilentTcp", kTimeTcp, Script::Silent(kTcp), Failed(-110, kBad)},
        OutcomeCase{"SilentUdp", kSntpUdp, Script::Silent(kUdp), Failed(-110, kBad)},
        OutcomeCase{"TimeInTwoSegments", kTimeTcp, {kTcp, {{0xEE, 0xBF}, {0xCC, 0xC0}}, 100ms}, kOk},
        OutcomeCase{"DaytimeInTwoPieces", kDayTcp, {kTcp, {DaytimeAnswer("Sun Dec 06 1"), DaytimeAnswer("2:00:07 2026\r\n")}, 100ms}, kOk},
        OutcomeCase{"ShortTcp", kTimeTcp, Script::Answer(kTcp, {0xBC, 0x17, 0xC2}), Failed(3, kBad)},
        OutcomeCase{"TcpClosesWithoutAnswer", kTimeTcp, Script::Answer(kTcp, {}), Failed(0, kBad)},
        OutcomeCase{"FirstByteZero", kDayTcp, Script::Answer(kTcp, {0, 'u', 'e', ' ', 'D', 'e', 'c'}), Failed(7, kBad)},
        OutcomeCase{"TooLong", kDayUdp, Script::Answer(kUdp, Bytes(100, 'A')), Failed(0, kInvalid)},
        OutcomeCase{"SntpLeapIndicator3", kSntpUdp, Script::Answer(kUdp, SntpAnswer(kNow, 0, 0xDC)), Failed(0, kInvalid)},
        OutcomeCase{"SntpShort", kSntpUdp, Script::Answer(kUdp, Bytes(kSntp.begin(), kSntp.end() - 1)), Failed(1, kInvalid)},
        OutcomeCase{"SntpZeroTransmit", kSntpUdp, Script::Answer(kUdp, With(kSntp, 40, Bytes(8, 0))), Failed(2, kInvalid)},
        OutcomeCase{"SntpKissOfDeath", kSntpUdp, Script::Answer(kUdp, With(kSntp, 0, {0xE4, 0})), Failed(3, kInvalid)},
        OutcomeCase{"SntpOriginateMismatch", kSntpUdp, {kUdp, {kSntp}, 0ms, false}, Failed(4, kInvalid)},
        OutcomeCase{"SntpZeroReceive", kSntpUdp, Script::Answer(kUdp, With(kSntp, 32, Bytes(8, 0))), Failed(5, kInvalid)},
        // Sent by the server a second after it took the request in, answered in no time here.
        OutcomeCase{"SntpRoundTripBelowZero", kSntpUdp, Script::Answer(kUdp, With(kSntp, 32, TimeAnswer(kNow - 1))),
                    Failed(6, kInvalid)},
        OutcomeCase{"BeyondTheMaximum", kTimeUdp, Script::Answer(kUdp, {0x01, 0, 0, 0}), Failed(306197312, kTooFar), 8},
        OutcomeCase{"TheLimitItselfIsRefused", kTimeTcp, Script::Answer(kTcp, TimeAnswer(kNow - 5)), Failed(5, kTooFar), 1},
        OutcomeCase{"JustInsideTheLimit", kTimeTcp, Script::Answer(kTcp, TimeAnswer(kNow + 4)), kOk, 1},
        OutcomeCase{"ClockCannotBeSet", kSntpUdp, Script::Answer(kUdp, kSntp), Failed(1, "Kon de TIJD niet instellen (rechten?)"), 0, 0, EPERM},
        OutcomeCase{"RefusedTcpPort", kTimeTcp, Script::Silent(kTcp), Failed(111, kNoConnection), 0, 1},
        OutcomeCase{"RefusedUdpPort", kTimeUdp, Script::Silent(kUdp), Failed(-111, kBad), 0, 1},
        OutcomeCase{"PortAbove65535", kSntpUdp, Script::Silent(kUdp), Failed(22, kNoConnection), 0, 70000},
        OutcomeCase{"HostNameLookedUp", kTimeTcp, Script::Answer(kTcp, TimeAnswer(kNow)), kOk, 0, 0, 0, "localhost"},
        OutcomeCase{"UdpAsksTheNextAddressAtOnceWhenOneRefuses", kTimeUdp, Script::Answer(kUdp, TimeAnswer(kNow)), kOk, 0, 0, 0, "twice.test"},
        OutcomeCase{"UdpAsksTheNextAddressInTheTimeLeftWhenOneIsSilent", kTimeUdp, Script::Answer(kUdp, TimeAnswer(kNow)), kOk, 0, 0, 0,
                    "silent.twice.test"},
        OutcomeCase{"UnknownNameHasANumberOfItsOwn", kTimeUdp, Script::Silent(kUdp), Failed(11001, kNoConnection), 0, 0, 0, "unknown.test"},
        OutcomeCase{"DryRunSaysWhatItWouldSetAndIsNoSynchronisation", kSntpUdp, Script::Answer(kUdp, SntpAnswer(kNow + 100, 250)),
                    "Droogoefening: de klok zou op 06 Dec 12:01:40 gezet worden, correctie +99,750 s", 0, 0, 0, "127.0.0.1", true},
        // A thread that cannot start, an allocation, a view that throws: still a request that ends.
        OutcomeCase{"WhatIsThrownIsACountedFailure", kTimeUdp, Script::Answer(kUdp, TimeAnswer(kNow)), Failed(-ENOMEM, kBad),
                    0, 0, 0, "127.0.0.1", false, true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ClientTest, TenFailuresStopTheTimerUntilASuccess) {
  ScriptedServer refusing(Script::Answer(kUdp, {1, 2, 3}));
  View view;
  auto client = MakeClient(kTimeUdp, refusing.Port(), view);
  client->StartClient();
  for (int i = 1; i <= 10; ++i) Synchro(*client);
  EXPECT_TRUE(lastSyncs_.empty() && view.lastSync.empty()) << "a client that never succeeded tells nothing";
  EXPECT_EQ(view.messages + "|" + client->GetStatusText(), "Melding: 10 ERROR: 3 STOPPED\r\n" + kBad + "|Err:Stop");
  client->OnTimer();  // a tick no longer starts a request
  EXPECT_FALSE(client->IsRequestActive());
  Synchro(*client);  // the Synchro button still does
  EXPECT_EQ(view.messages, "Melding: 11 ERROR: 3 STOPPED\r\n" + kBad);
  ScriptedServer good(Script::Answer(kUdp, TimeAnswer(kNow)));
  client->Settings().m_port = good.Port();
  Synchro(*client);
  client->OnTimer();
  EXPECT_TRUE(client->IsRequestActive()) << "ticks start requests again";
}

TEST_F(ClientTest, WarningBoxesFollowTheWarningLevel) {
  ScriptedServer refusing(Script::Answer(kTcp, {1, 2, 3}));
  for (const auto& [level, boxes] : {std::pair{0, 0}, {1, 1}, {2, 4}, {3, 1}, {4, 5}, {9, 0}, {-1, 0}}) {
    View view;
    auto client = MakeClient(kDayTcp, refusing.Port(), view);
    client->Settings().m_warnLevel = level;
    for (int i = 0; i < 5; ++i) Synchro(*client);
    EXPECT_EQ(view.warnings.size(), static_cast<std::size_t>(boxes)) << "level " << level;
  }
}

TEST_F(ClientTest, ARequestOrTickWhileTheWarningIsOpenIsRefusedAndOthersGoOn) {
  ScriptedServer refusing(Script::Answer(kUdp, {1, 2, 3})), good(Script::Answer(kTcp, TimeAnswer(kNow)));
  View view, otherView;
  view.holdWarnings = true;
  auto client = MakeClient(kTimeUdp, refusing.Port(), view);
  client->Settings().m_warnLevel = 4;
  auto other = MakeClient(kTimeTcp, good.Port(), otherView);
  client->StartClient();
  client->DoSynchro();
  ASSERT_TRUE(RunUntil([&] { return view.openWarning != nullptr; }));
  client->DoSynchro();
  client->OnTimer();
  EXPECT_EQ(view.status, (Lines{"Client gestart", "Start aanvraag", "Aanvraag loopt reeds", "Aanvraag loopt reeds"}));
  EXPECT_FALSE(view.synchroEnabled);
  Synchro(*other);  // meanwhile another client completes its request
  EXPECT_EQ(otherView.messages, kOk);
  view.openWarning();
  ASSERT_TRUE(RunUntil([&] { return !client->IsRequestActive(); }));
  EXPECT_EQ(view.status.back() + std::to_string(refusing.RequestCount()), "Aanvraag gereed1");
}

TEST_F(ClientTest, ATickWhileTheRequestWaitsIsHeldUntilItEnds) {
  ScriptedServer server({kUdp, {TimeAnswer(kNow)}, 150ms});
  View view;
  auto client = MakeClient(kTimeUdp, server.Port(), view);
  client->StartClient();
  client->DoSynchro();
  ASSERT_TRUE(RunUntil([&] { return server.RequestCount() == 1; }));
  client->OnTimer();
  client->OnTimer();  // missed ticks do not pile up
  ASSERT_TRUE(RunUntil([&] { return client->SyncCount() == 2 && !client->IsRequestActive(); }));
  io_.run_for(300ms);
  EXPECT_EQ(server.RequestCount(), 2u);
  EXPECT_EQ(view.status.size(), 5u) << "no \"Aanvraag loopt reeds\"";
}

TEST_F(ClientTest, ConnectionModesDecideWhetherARequestIsMade) {
  ScriptedServer server(Script::Answer(kUdp, TimeAnswer(kNow)));
  View view;
  auto client = MakeClient(kTimeUdp, server.Port(), view);
  // Mode 1 on a LAN only: "Geen MODEM verbinding", no failure counted.
  ASSERT_EQ(profile_.WriteInt("COMMON", "CheckConnect", 1), std::error_code());
  Synchro(*client);
  EXPECT_EQ(view.status, Lines{"Geen MODEM verbinding"});
  EXPECT_EQ(std::tuple(client->Failures(), client->LastAttempt(), server.RequestCount()), std::tuple(0, std::int64_t{0}, std::size_t{0}))
      << "(failures, last attempt, requests the server saw)";
  ASSERT_EQ(profile_.WriteInt("COMMON", "CheckConnect", 2), std::error_code());  // mode 2: a dial before, a hang-up after
  ASSERT_EQ(profile_.WriteString("COMMON", "Connection", "provider"), std::error_code());
  port_->modemFollowsDial = true;
  Synchro(*client);
  EXPECT_EQ(view.messages, kOk);
  EXPECT_EQ(port_->Calls(), (Lines{"dial provider", "hangup 1"}));
}

// A failed save is the window test's.
TEST_F(ClientTest, TheIntervalFromTheProfileAndASaveWhileRunning) {
  View view;
  ASSERT_EQ(profile_.WriteInt("SNTP CLIENT UDP", "Interval", 1440), std::error_code());
  auto client = MakeClient(kSntpUdp, 1, view);
  EXPECT_TRUE(client->StartClient());
  EXPECT_FALSE(client->StartClient()) << "a second start changes nothing";
  EXPECT_EQ(client->TimerPeriod(), 86400000ms);
  client->StopClient();
  client->SetEnabled(true);  // saving while running restarts the interval with the new period
  client->Settings().m_intervalIndex = 0;
  int saved = -1;
  client->Save([&](int error) { saved = error; });
  ASSERT_TRUE(RunUntil([&] { return saved == 0; }));
  EXPECT_EQ(client->TimerPeriod(), 1min);
}

// A clock whose sets wait until the test lets each go, as one waiting for a person's consent does;
// reading and stepping are the simulated clock's.
class HeldClock final : public Clock {
 public:
  explicit HeldClock(Clock& inner) : inner_(inner) {}
  ~HeldClock() override { CloseQueue(); }
  std::chrono::nanoseconds Now() override { return inner_.Now(); }
  std::chrono::nanoseconds Monotonic() override { return inner_.Monotonic(); }
  int StepBy(std::chrono::nanoseconds by) override { return inner_.StepBy(by); }
  // Makes the set held, worked out now; false when none is held.
  bool Release() {
    if (!held_) return false;
    auto [anchor, steps] = *std::exchange(held_, std::nullopt);
    ClockSetResult r = WorkOut(anchor);
    r.error = StepBy(r.correction);
    steps.report(r);
    steps.finished();
    return true;
  }
  bool Holds() const { return held_.has_value(); }

 protected:
  void SetOne(const ClockAnchor& anchor, Deadline, std::shared_ptr<ClockSetTicket>, SetSteps steps) override {
    held_.emplace(anchor, std::move(steps));
  }

 private:
  Clock& inner_;
  std::optional<std::pair<ClockAnchor, SetSteps>> held_;
};

// Two clients' sets through the clock's one queue, the first held until the test lets it go, as
// a slow consent would: the second waits, says so, and is worked out from its own answer only when
// its turn comes; then it looks once more (nothing is left to correct here).
struct QueueCase {
  const char* name;
  int first, second;  // how far each server is ahead, in seconds: SNTP, then Time
  int otherStep = 0;  // someone else moves the clock by this while both wait
  bool secondReleased = false;  // the second client is destroyed while its set waits
  std::vector<int> steps;       // the steps the clock made, in seconds
};
class QueuedSets : public ClientTest, public ::testing::WithParamInterface<QueueCase> {};

TEST_P(QueuedSets, EachLandsOnItsOwnAnswer) {
  const QueueCase& c = GetParam();
  ScriptedServer first(Script::Answer(kUdp, SntpAnswer(kNow + c.first, 500))),
      second(Script::Answer(kUdp, TimeAnswer(kNow + c.second)));
  HeldClock clock(clock_);
  View firstView, secondView;
  auto a = MakeClient(kSntpUdp, first.Port(), firstView, &clock), b = MakeClient(kTimeUdp, second.Port(), secondView, &clock);
  a->DoSynchro();
  ASSERT_TRUE(RunUntil([&] { return clock.Holds(); }));
  b->DoSynchro();
  ASSERT_TRUE(RunUntil([&] { return !secondView.status.empty() && secondView.status.back() == kWaitingForClock; }));
  if (c.otherStep) clock_.StepBy(std::chrono::seconds(c.otherStep));
  if (c.secondReleased) b.reset();
  ASSERT_TRUE(RunUntil([&] { return clock.Release(), !a->IsRequestActive() && !(b && b->IsRequestActive()); }));
  std::vector<int> steps;
  for (auto step : clock_.Steps()) steps.push_back(int(std::chrono::round<std::chrono::seconds>(step).count()));
  EXPECT_EQ(steps, c.steps);
  EXPECT_EQ(first.RequestCount() + second.RequestCount(), c.secondReleased ? 2u : 3u) << "one second look";
  EXPECT_EQ(a->SyncCount() + (b ? b->SyncCount() : 1), 2);
}

INSTANTIATE_TEST_SUITE_P(Client, QueuedSets,
                         ::testing::Values(QueueCase{"AnswersTogetherSetOnceEach", 10, 100, 0, false, {10, 90}},
                                           QueueCase{"AnHourAheadIsNotAddedToTheNext", 3600, 5, 0, false, {3600, -3595}},
                                           QueueCase{"AStepBySomeoneElseIsNotMadeAgain", 10, 100, 7, false, {7, 3, 90}},
                                           QueueCase{"AReleasedClientsSetIsNeverMade", 10, 100, 0, true, {10}}),
                         [](const auto& p) { return std::string(p.param.name); });

// Where a request waits when its client is destroyed.
enum class Wait { Check, Lookup, Connect, Receive, ClockSet, Warning };
const char* const kWaitNames[] = {"Check", "Lookup", "Connect", "Receive", "ClockSet", "Warning"};
class DestroyedWhileWaiting : public ClientTest, public ::testing::WithParamInterface<Wait> {};

TEST_P(DestroyedWhileWaiting, EndsTheRequestAtOnceAndNothingComesOfIt) {
  const Wait wait = GetParam();
  const bool tcp = wait == Wait::Connect;
  ScriptedServer server(wait == Wait::ClockSet  ? Script::Answer(kUdp, TimeAnswer(kNow))
                        : wait == Wait::Warning ? Script::Answer(kUdp, {1, 2, 3})
                                                : Script::Silent(tcp ? kTcp : kUdp));
  // A listener whose queue is full: the kernel drops the next SYN, and a connect waits.
  asio::ip::tcp::acceptor full(io_, {asio::ip::make_address_v4("127.0.0.1"), 0});
  full.listen(0);
  asio::ip::tcp::socket queued[] = {asio::ip::tcp::socket(io_), asio::ip::tcp::socket(io_)};
  for (auto& socket : queued) socket.async_connect(full.local_endpoint(), [](std::error_code) {});
  ASSERT_EQ(profile_.WriteInt("COMMON", "CheckConnect", wait == Wait::Check ? 2 : 0), std::error_code());
  // Far longer than the request may take to unwind, so that an unwinding that waited for them fails.
  port_->dialBlocks = 2s;
  resolve_ = [](const std::string&) { return std::this_thread::sleep_for(2s), ResolveHost("127.0.0.1"); };
  HeldClock clock(clock_);
  View view;
  view.holdWarnings = true;
  auto client = MakeClient(tcp ? kTimeTcp : kTimeUdp, tcp ? full.local_endpoint().port() : server.Port(), view, &clock);
  client->Settings().m_server = wait == Wait::Lookup ? "slow.test" : "127.0.0.1";
  client->Settings().m_warnLevel = 4;
  client->SetTimeout(5s);  // far beyond what this test waits
  client->DoSynchro();
  // Waits with nothing to see are reached within 100 ms; the others show when they are.
  const bool seen = wait == Wait::Receive || wait == Wait::ClockSet || wait == Wait::Warning;
  const auto reached = [&] {
    return wait == Wait::Receive ? server.RequestCount() > 0 : wait == Wait::ClockSet ? clock.Holds() : bool(view.openWarning);
  };
  ASSERT_TRUE(RunUntil([&] { return seen && reached(); }, seen ? 2s : 100ms) || !seen);
  const std::string shown = view.Shown();
  client.reset();
  EXPECT_TRUE(RunUntil([] { return TimeClient::RunningRequests() == 0; }, 1s)) << "the request unwinds at once";
  // What the request waited for comes after all, and finds nothing to resume.
  clock.Release();
  if (view.openWarning) view.openWarning();
  RunUntil([&] { return wait == Wait::Check && port_->Calls().size() == 2; }, wait == Wait::Check ? 5s : 400ms);
  EXPECT_EQ(view.Shown(), shown);
  EXPECT_TRUE(lastSyncs_.empty());
  EXPECT_EQ(port_->Calls(), (wait == Wait::Check ? Lines{"dial ", "hangup 1"} : Lines{})) << "what it dialled is hung up";
}

INSTANTIATE_TEST_SUITE_P(Client, DestroyedWhileWaiting,
                         ::testing::Values(Wait::Check, Wait::Lookup, Wait::Connect, Wait::Receive, Wait::ClockSet, Wait::Warning),
                         [](const auto& p) { return kWaitNames[int(p.param)]; });

}  // namespace
}  // namespace horavex::testing
