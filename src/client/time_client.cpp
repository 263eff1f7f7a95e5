#include "client/time_client.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <system_error>
#include <utility>
#include <variant>

#include <asio/associated_cancellation_slot.hpp>
#include <asio/async_result.hpp>
#include <asio/bind_cancellation_slot.hpp>
#include <asio/bind_executor.hpp>
#include <asio/cancellation_signal.hpp>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>

#include "client/time_connection.h"
#include "common/common_settings.h"
#include "common/dialup.h"
#include "common/language.h"
#include "common/profile.h"
#include "platform/clock.h"
#include "protocol/calendar.h"
#include "protocol/window_texts.h"

namespace horavex {
namespace {

// The failures' texts, marked here and translated where they are shown (TrCrlf: lines end in \r\n).
constexpr const char* kNoConnection = TrNoop("Geen verbinding met server\nof de poort is niet te openen");
constexpr const char* kBadAnswer = TrNoop("Verkeerd of geen resultaat ontvangen");
constexpr const char* kInvalidTime = TrNoop("Ongeldige datum/tijd..");
constexpr const char* kTooFar = TrNoop("Datum / tijd wijkt TEVEEL af, abort");
constexpr const char* kCannotSet = TrNoop("Kon de TIJD niet instellen (rechten?)");
constexpr const char* kLateMayApply =
    TrNoop("Kon de TIJD niet instellen: geen antwoord op tijd\n(het systeem kan het later nog doen)");
constexpr const char* kLateNothingSet = TrNoop("Kon de TIJD niet instellen: geen antwoord op tijd\n(er is niets ingesteld)");
constexpr const char* kAutomaticSync =
    TrNoop("De automatische tijdsynchronisatie van het systeem staat aan:\nzet die eerst uit");

constexpr int kFailuresBeforeStop = 10;

std::atomic<int> g_runningRequests{0};

// Counts one request from the moment it is made until its coroutine is gone, however it goes.
class RequestCount {
 public:
  RequestCount() { ++g_runningRequests; }
  RequestCount(RequestCount&& other) noexcept : m_counts(std::exchange(other.m_counts, false)) {}
  RequestCount& operator=(RequestCount&&) = delete;
  ~RequestCount() {
    if (m_counts) --g_runningRequests;
  }

 private:
  bool m_counts = true;
};

// The error number of an exception that ended a request: its system error, ENOMEM for an
// allocation, EIO for anything else.
int ErrorOf(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::system_error& error) {
    return error.code().value();
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  } catch (...) {
    return EIO;
  }
}

// Awaits something that cannot itself be cancelled (a dial-up call, a set of the clock, a
// warning box): `start(done)` begins it and `done(value)`, called on the logic thread, ends the
// wait. When the request is cancelled first the wait ends at once with `cancelled`, and a later
// `done` finds nothing to resume. Either way the request resumes through its executor, never
// inside `done` or the cancellation.
template <typename T, typename Start>
asio::awaitable<T> Abandonable(Start start, T cancelled) {
  co_return co_await asio::async_initiate<const asio::use_awaitable_t<>, void(T)>(
      [&start, cancelled](auto handler) {
        using Handler = decltype(handler);
        auto pending = std::make_shared<std::optional<Handler>>(std::move(handler));
        auto done = [pending](T value) {
          if (!*pending) return;
          Handler h = std::move(**pending);
          pending->reset();
          const auto ex = asio::get_associated_executor(h);
          asio::post(ex, [h = std::move(h), value]() mutable { std::move(h)(value); });
        };
        if (auto slot = asio::get_associated_cancellation_slot(**pending); slot.is_connected())
          slot.assign([done, cancelled](asio::cancellation_type) mutable { done(cancelled); });
        start(done);
      },
      asio::use_awaitable);
}

// A view for a released client: it shows nothing and closes a warning at once.
NullClientView g_noView;

}  // namespace

std::string CorrectionText(std::chrono::microseconds correction) {
  const long long us = correction.count();
  const long long ms = (std::llabs(us) + 500) / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%c%lld,%03lld s", us < 0 ? '-' : '+', ms / 1000, ms % 1000);
  return text;
}

// Everything a request reads or writes. The request holds the core for its whole run, so no
// resumption can reach memory that is gone; a released core shows, sets and reports nothing.
struct TimeClient::Core : std::enable_shared_from_this<TimeClient::Core> {
  struct Failure {
    std::string text;
    std::int32_t number = 0;
  };

  Core(ClientKind kind, ClientServices services, ClientView& view)
      : m_services(std::move(services)),
        m_view(&view),
        m_kind(kind),
        m_title(InfoOf(kind).title),
        m_settings(ClientSettings::Load(m_services.profile, kind)),
        m_timer(m_services.executors.io) {}

  ClientView& View() { return m_view ? *m_view : g_noView; }
  void Release();
  void DoSynchro();
  asio::awaitable<void> Synchro(std::shared_ptr<Core> self, RequestCount counted);
  asio::awaitable<void> Run();
  asio::awaitable<bool> MayConnect();
  // One exchange with the server and the set it asks for; `check` is the second look after a
  // set that waited, which reports only what it finds wrong with the clock.
  asio::awaitable<std::optional<Failure>> Exchange(bool check);
  // The moment the answer arrived, on the clock's monotonic reading.
  std::chrono::nanoseconds ArrivalOf(const ReceiveResult& r);
  // Checks the answer that arrived at `arrival` and works out the truth it holds.
  std::variant<ClockAnchor, Failure> Judge(const ReceiveResult& r, std::span<const std::uint8_t> request,
                                           std::chrono::nanoseconds arrival);
  asio::awaitable<std::optional<Failure>> SetClock(const ClockAnchor& anchor, bool check);
  // Waits for the clock's queue to set `anchor`'s truth, at most kSetBound.
  asio::awaitable<ClockSetResult> AwaitSet(const ClockAnchor& anchor);
  void ReportSet(const ClockSetResult& set);
  asio::awaitable<void> ReportError(std::string text, std::int32_t number);
  asio::awaitable<void> Finish();
  // Asks the dial-up service to hang up; the wait ends at once when the request is cancelled.
  asio::awaitable<void> HangUp();
  void EndRequest();
  std::vector<std::uint8_t> Request() const;
  bool StartClient();
  void StopClient();
  void ArmTimer();
  void OnTimer();

  ClientServices m_services;
  ClientView* m_view;  // null once released

  const ClientKind m_kind;
  const std::string m_title;
  ClientSettings m_settings;

  AnswerArea m_answer{};
  std::optional<SntpTimes> m_answerTimes;  // the exchange of the SNTP answer in m_answer
  // When the request last left: the clock's Unix time and its monotonic reading.
  std::chrono::nanoseconds m_sentAt{}, m_sentMonotonic{};
  bool m_setWaited = false;  // the request's set waited for another or for consent
  std::shared_ptr<ClockSetTicket> m_pendingSet;  // the request's set while it is awaited
  int m_failures = 0;
  int m_syncCount = 0;
  std::int64_t m_lastSync = 0;
  std::int64_t m_lastAttempt = 0;
  bool m_busy = false;
  bool m_running = false;
  bool m_active = false;
  bool m_warningOpen = false;
  std::function<void()> m_closeWarning;  // ends the wait for the open warning box
  bool m_tickHeld = false;
  bool m_released = false;
  int m_settingsMessages = 0;  // the window's messages that are no failed request
  // The request asked the dial-up check, and whether it asked the hang-up that goes with it.
  bool m_checked = false;
  bool m_hungUp = false;
  RequestOutcome m_outcome;

  std::chrono::milliseconds m_timeout{kRequestTimeout};
  std::function<void()> m_onFinished;
  std::function<void(ClientKind, std::int64_t)> m_onLastSync;
  asio::steady_timer m_timer;
  std::chrono::steady_clock::duration m_period{};
  std::chrono::steady_clock::time_point m_nextTick{};
  std::uint64_t m_timerGeneration = 0;
  // Ends every wait of the running request. One per request, kept by the request's completion
  // too: a request made while the one before is still unwinding must not take its signal away.
  std::shared_ptr<asio::cancellation_signal> m_cancel;
};

void TimeClient::Core::Release() {
  m_released = true;
  m_view = nullptr;
  m_closeWarning = nullptr;
  m_onFinished = nullptr;
  m_onLastSync = nullptr;
  ++m_timerGeneration;
  m_timer.cancel();
  // A released client's set that has not begun never will, whoever's set ends next.
  if (m_pendingSet) m_pendingSet->Withdraw();
  if (m_active && m_cancel) m_cancel->emit(asio::cancellation_type::terminal);
}

void TimeClient::Core::DoSynchro() {
  if (m_active) {
    View().SetStatusLine(Tr("Aanvraag loopt reeds"));
    return;
  }
  m_active = true;
  m_checked = m_hungUp = false;
  m_outcome = {};
  auto self = shared_from_this();
  m_cancel = std::make_shared<asio::cancellation_signal>();
  asio::co_spawn(m_services.executors.logic, Synchro(self, RequestCount()),
                 asio::bind_cancellation_slot(m_cancel->slot(), [self, cancel = m_cancel](std::exception_ptr e) {
                   // Only when even the report and the finish threw: the client must not stay active for good.
                   if (!e || !self->m_active) return;
                   self->m_busy = self->m_active = false;
                   try {
                     self->View().EnableSynchro(true);
                   } catch (...) {
                   }
                 }));
}

asio::awaitable<void> TimeClient::Core::Synchro(std::shared_ptr<Core> self, RequestCount) {
  // Cancellation is seen where each wait ends, through m_released; no await throws for it.
  co_await asio::this_coro::throw_if_cancelled(false);
  if (!m_released) co_await Run();
  // A request released after its network check still hangs up what the check may have dialled;
  // the dial-up service runs the hang-up after the check, and nothing waits for it.
  if (m_released && m_checked && !m_hungUp) {
    DialupRequest hangUp = DialupRequest::AfterRequest();
    self->m_services.dialup.Manage(std::move(hangUp), asio::detached);
  }
}

asio::awaitable<void> TimeClient::Core::Run() {
  std::optional<Failure> failure;
  try {
    if (!co_await MayConnect()) co_return;
    m_busy = true;
    View().EnableSynchro(false);
    View().SetStatusLine(Tr("Start aanvraag"));
    m_setWaited = false;
    failure = co_await Exchange(false);
    // Another set may have landed after this one's correction was worked out (an earlier run's
    // that was still pending): look once more and correct what is left.
    if (!failure && m_setWaited && !m_released) failure = co_await Exchange(true);
  } catch (...) {
    // A thread that cannot start, an allocation that fails, a view or clock that throws: the
    // request still ends as a counted failure, so that it can be asked again.
    failure = Failure{kBadAnswer, -ErrorOf(std::current_exception())};
  }
  if (m_released) co_return;
  m_busy = true;
  if (failure) {
    m_outcome.failure = TrCrlf(failure->text.c_str());
    m_outcome.number = failure->number;
    try {
      co_await ReportError(m_outcome.failure, failure->number);
    } catch (...) {
    }  // counted before anything is shown
    if (m_released) co_return;
  }
  co_await Finish();
}

asio::awaitable<bool> TimeClient::Core::MayConnect() {
  const CommonSettings common = CommonSettings::Load(m_services.profile);
  const int mode = common.m_checkConnect;
  DialupRequest check = DialupRequest::BeforeRequest(mode, mode != 0 ? common.m_connection : std::string());
  m_checked = true;
  const bool mayConnect = co_await Abandonable(
      [&](auto done) { m_services.dialup.Manage(std::move(check), done); }, false);
  if (m_released) co_return false;
  if (mayConnect) co_return true;
  // Without a network nothing is shown; a modem that is not there is.
  if (mode != 0) View().SetStatusLine(Tr("Geen MODEM verbinding"));
  EndRequest();
  co_return false;
}

asio::awaitable<std::optional<TimeClient::Core::Failure>> TimeClient::Core::Exchange(bool check) {
  const auto deadline = std::chrono::steady_clock::now() + m_timeout;
  TimeConnection connection(m_services.executors.io, m_kind);
  const std::error_code connectError =
      co_await connection.Connect(m_settings.m_server, m_settings.m_port, deadline, m_services.resolve);
  if (m_released || (connectError && check)) co_return std::nullopt;
  if (connectError) co_return Failure{kNoConnection, LookupErrorNumber(connectError)};

  const std::vector<std::uint8_t> request = Request();
  connection.OnSend([this] {
    m_sentAt = m_services.clock.Now();
    m_sentMonotonic = m_services.clock.Monotonic();
  });
  connection.Send(request);
  m_answer.fill(0);
  // The socket fills a buffer of the request's own; the client's area changes only here, on
  // the logic thread, so a window reading it never sees half an answer.
  AnswerArea received{};
  const ReceiveResult r = co_await connection.Receive(received, deadline);
  if (m_released) co_return std::nullopt;
  const std::chrono::nanoseconds arrival = ArrivalOf(r);
  m_answer = received;
  connection.Close();
  m_outcome.received = true;
  const std::variant<ClockAnchor, Failure> judged = Judge(r, request, arrival);
  if (const auto* failure = std::get_if<Failure>(&judged)) {
    // A second look that got no usable answer leaves the set as it was made.
    if (check && failure->text != kTooFar) co_return std::nullopt;
    co_return *failure;
  }
  const ClockAnchor& anchor = std::get<ClockAnchor>(judged);
  if (check) {
    // What the answer cannot tell from right is left alone: half the round trip for SNTP, the
    // second a Time or Daytime answer is rounded to.
    const auto tolerance = m_answerTimes ? m_answerTimes->Delay() / 2 + std::chrono::milliseconds(1)
                                         : std::chrono::nanoseconds(std::chrono::seconds(1));
    if (std::chrono::abs(m_services.clock.WorkOut(anchor).correction) <= tolerance) co_return std::nullopt;
  }
  co_return co_await SetClock(anchor, check);
}

std::chrono::nanoseconds TimeClient::Core::ArrivalOf(const ReceiveResult& r) {
  const std::chrono::nanoseconds monotonic = m_services.clock.Monotonic();
  // How long the datagram waited in the kernel before this coroutine ran: the real clock's age of
  // the kernel's stamp, whatever clock this client reads.
  std::chrono::nanoseconds age{0};
  if (r.arrived) age = std::chrono::system_clock::now().time_since_epoch() - *r.arrived;
  age = std::max(age, std::chrono::nanoseconds(0));
  // A clock that stands still (a simulated one) must not place the answer before the request.
  return std::max(m_sentMonotonic, monotonic - age);
}

std::variant<ClockAnchor, TimeClient::Core::Failure> TimeClient::Core::Judge(const ReceiveResult& r,
                                                                             std::span<const std::uint8_t> request,
                                                                             std::chrono::nanoseconds arrival) {
  // T4 from T1 and the monotonic time between them: a step of the clock meanwhile changes neither.
  const std::chrono::nanoseconds arrivedAt = m_sentAt + (arrival - m_sentMonotonic);
  m_answerTimes.reset();
  // A receive error is a huge unsigned count, so it fails through the zeroed first byte.
  if (static_cast<std::uint32_t>(r.count) < 4 || m_answer[0] == 0)
    return Failure{kBadAnswer, r.error ? -r.error.value() : static_cast<std::int32_t>(r.count)};
  // An SNTP answer must be one, and to this request, before its time may set the clock.
  if (m_kind == ClientKind::SntpUdp) {
    const auto length = static_cast<std::size_t>(std::clamp<std::int64_t>(r.count, 0, kAnswerSize));
    const auto answer = std::span<const std::uint8_t>(m_answer).first(length);
    if (length >= kNtpPacketSize) m_answerTimes = SntpTimesOf(answer, NtpFromUnix(m_sentAt), NtpFromUnix(arrivedAt));
    if (const int refusal = SntpRefusal(answer, request)) return Failure{kInvalidTime, refusal};
    if (m_answerTimes && m_answerTimes->Delay() < std::chrono::nanoseconds(0))
      return Failure{kInvalidTime, kSntpNegativeDelay};
  }
  const std::optional<DecodedTime> decoded = DecodeAnswer(m_kind, m_answer);
  if (!decoded) return Failure{kInvalidTime, 0};
  m_outcome.utc = decoded->utc;
  m_outcome.calendarSeconds = decoded->calendarSeconds;
  m_outcome.milliseconds = decoded->milliseconds;
  // SNTP: the server's time as the answer arrived. Time and Daytime carry whole seconds, and the
  // clock keeps its own fraction of a second.
  const auto second = std::chrono::floor<std::chrono::seconds>(arrivedAt);
  const ClockAnchor anchor{m_answerTimes ? arrivedAt + m_answerTimes->Offset()
                                         : std::chrono::seconds(decoded->calendarSeconds) + (arrivedAt - second),
                           arrival, !m_answerTimes};
  m_outcome.measured = anchor.truth - arrivedAt;
  if (const std::int32_t d = CheckMaxOffset(*m_outcome.measured, m_settings.m_maxOffsetIndex))
    return Failure{kTooFar, d};
  return anchor;
}

asio::awaitable<std::optional<TimeClient::Core::Failure>> TimeClient::Core::SetClock(const ClockAnchor& anchor,
                                                                                    bool check) {
  const ClockSetResult set = co_await AwaitSet(anchor);
  if (m_released) co_return std::nullopt;
  switch (set.error) {
    case 0: break;
    case EBUSY: co_return Failure{kAutomaticSync, EBUSY};
    case ETIMEDOUT:
      co_return Failure{set.pending ? kLateMayApply : kLateNothingSet, ETIMEDOUT};
    default: co_return Failure{kCannotSet, set.error};
  }
  // The second look's set is part of the request's one success.
  if (check) co_return std::nullopt;
  m_setWaited = set.waited;
  ReportSet(set);
  co_return std::nullopt;
}

asio::awaitable<ClockSetResult> TimeClient::Core::AwaitSet(const ClockAnchor& anchor) {
  const auto deadline = std::chrono::steady_clock::now() + kSetBound;
  const auto logic = m_services.executors.logic;
  auto ticket = std::make_shared<std::shared_ptr<ClockSetTicket>>();
  asio::steady_timer bound(m_services.executors.io, deadline);
  struct Forget {
    std::shared_ptr<ClockSetTicket>& pending;
    ~Forget() { pending.reset(); }
  } forget{m_pendingSet};
  const std::weak_ptr<Core> weak = weak_from_this();
  // The set may wait for other sets and for a person's consent: the logic thread goes on meanwhile.
  const ClockSetResult set = co_await Abandonable(
      [&](auto done) {
        const auto waiting = [logic, weak] {
          asio::post(logic, [weak] {
            if (const auto core = weak.lock(); core && !core->m_released) core->View().SetStatusLine(Tr(kWaitingForClock));
          });
        };
        const auto finished = [logic, done](ClockSetResult result) mutable {
          asio::post(logic, [done, result]() mutable { done(result); });
        };
        m_pendingSet = *ticket = m_services.clock.Set(anchor, deadline, {waiting, finished});
        // A set whose turn has not come by the deadline is withdrawn; one under way bounds itself.
        bound.async_wait(asio::bind_executor(logic, [done, ticket](std::error_code ec) mutable {
          if (!ec && *ticket && (*ticket)->Withdraw()) done(ClockSetResult{ETIMEDOUT});
        }));
      },
      ClockSetResult{ECANCELED});
  co_return set;
}

void TimeClient::Core::ReportSet(const ClockSetResult& set) {
  m_outcome.clockSet = true;
  m_outcome.clockSetBy = SetWayName(set.way);
  m_failures = 0;
  ++m_syncCount;
  if (m_services.dryRun) {
    // Only a simulated clock moved: say what the computer's clock would have got, and from
    // whom; it is no synchronisation, so the last one stays as it was.
    m_outcome.wouldSet = set;
    const auto at = std::chrono::floor<std::chrono::seconds>(set.target).count();
    View().SetMessages(Tr("Droogoefening: de klok zou op ") + FormatDayMonthTime(at) + Tr(" gezet worden, correctie ") +
                       CorrectionText(std::chrono::round<std::chrono::microseconds>(set.correction)));
    return;
  }
  m_lastSync = m_services.clock.Time();
  View().SetMessages(TrCrlf("Oke\nTijd is ingesteld..."));
}

asio::awaitable<void> TimeClient::Core::ReportError(std::string text, std::int32_t number) {
  const int n = ++m_failures;
  char head[64];
  std::snprintf(head, sizeof head, TrCrlf("Melding: %d ERROR: %d %s\n").c_str(), n, number, n >= kFailuresBeforeStop ? "STOPPED" : "");
  View().SetMessages(head + text);
  if (!ShouldWarn(n, m_settings.m_warnLevel)) co_return;

  char tail[32];
  std::snprintf(tail, sizeof tail, TrCrlf("\n[ERROR: %d]").c_str(), number);
  // The request waits until the user has closed the box, or the client is released.
  m_warningOpen = true;
  struct Closed {
    Core& core;
    ~Closed() { core.m_warningOpen = false, core.m_closeWarning = nullptr; }
  } closed{*this};
  const std::string shown = text + tail;
  co_await Abandonable(
      [&](auto done) {
        m_closeWarning = [done]() mutable { done(true); };
        View().ShowWarning(m_title, shown, m_closeWarning);
      },
      false);
}

asio::awaitable<void> TimeClient::Core::Finish() {
  try {
    m_lastAttempt = m_services.clock.Time();
    View().SetLastAttempt(FormatDayMonthTime(m_lastAttempt));
    if (m_lastSync != 0) {
      View().SetLastSync(FormatDayMonthTime(m_lastSync));
      if (m_onLastSync) m_onLastSync(m_kind, m_lastSync);
    }
    View().SetStatusLine(Tr("Aanvraag gereed"));
  } catch (...) {
  }  // what could not be shown does not keep the request from ending
  co_await HangUp();
  if (m_released) co_return;
  EndRequest();
}

asio::awaitable<void> TimeClient::Core::HangUp() {
  // A local, not a temporary in the co_await expression: g++ 12 may destroy such a temporary twice.
  DialupRequest hangUp = DialupRequest::AfterRequest();
  m_hungUp = true;
  co_await Abandonable([&](auto done) { m_services.dialup.Manage(std::move(hangUp), done); }, false);
}

void TimeClient::Core::EndRequest() {
  m_busy = false;
  m_active = false;
  View().EnableSynchro(true);
  if (m_onFinished) m_onFinished();
  // A tick held while the request waited is handled now.
  if (std::exchange(m_tickHeld, false)) OnTimer();
}

std::vector<std::uint8_t> TimeClient::Core::Request() const {
  switch (m_kind) {
    case ClientKind::TimeUdp:
    case ClientKind::DaytimeUdp:
      return {kUdpRequest.begin(), kUdpRequest.end()};
    case ClientKind::SntpUdp: {
      const NtpPacket p = MakeSntpRequest(OleDate(LocalBreakdown(m_services.clock.Time())));
      return {p.begin(), p.end()};
    }
    default:
      return {};
  }
}

bool TimeClient::Core::StartClient() {
  if (m_running) return false;
  m_period = std::chrono::minutes(IntervalMinutesFromIndex(m_settings.m_intervalIndex));
  m_nextTick = std::chrono::steady_clock::now() + m_period;
  ArmTimer();
  View().SetStatusLine(Tr("Client gestart"));
  m_syncCount = 0;
  m_running = true;
  return true;
}

void TimeClient::Core::StopClient() {
  m_timer.cancel();
  ++m_timerGeneration;
  m_tickHeld = false;
  View().SetStatusLine(Tr("Client gestopt"));
  m_running = false;
}

void TimeClient::Core::ArmTimer() {
  m_timer.expires_at(m_nextTick);
  m_timer.async_wait(asio::bind_executor(
      m_services.executors.logic, [weak = weak_from_this(), generation = m_timerGeneration](std::error_code ec) {
        const auto core = weak.lock();
        if (!core || ec || generation != core->m_timerGeneration) return;
        // Ticks missed while the program was held up do not pile up: the next one is a whole
        // period from now.
        const auto now = std::chrono::steady_clock::now();
        core->m_nextTick += core->m_period;
        if (core->m_nextTick <= now) core->m_nextTick = now + core->m_period;
        core->ArmTimer();
        core->OnTimer();
      }));
}

void TimeClient::Core::OnTimer() {
  if (m_failures >= kFailuresBeforeStop) return;
  // While the request waits on the network the tick is held, one at most; while its warning box
  // is open the tick is refused like a second request.
  if (m_active && !m_warningOpen) {
    m_tickHeld = true;
    return;
  }
  DoSynchro();
}

TimeClient::TimeClient(ClientKind kind, ClientServices services, ClientView& view)
    : m_core(std::make_shared<Core>(kind, services, view)), m_saver(services.profile, services.executors) {}

TimeClient::~TimeClient() { m_core->Release(); }

int TimeClient::RunningRequests() { return g_runningRequests.load(); }

void TimeClient::SetLastSyncObserver(std::function<void(ClientKind, std::int64_t)> observer) {
  m_core->m_onLastSync = std::move(observer);
}
void TimeClient::SetFinishedObserver(std::function<void()> observer) { m_core->m_onFinished = std::move(observer); }
void TimeClient::SetView(ClientView* view) {
  if (m_core->m_released) return;
  m_core->m_view = view;
  if (m_core->m_closeWarning) std::exchange(m_core->m_closeWarning, nullptr)();
}
void TimeClient::DoSynchro() { m_core->DoSynchro(); }
bool TimeClient::StartClient() { return m_core->StartClient(); }
void TimeClient::StopClient() { m_core->StopClient(); }
void TimeClient::OnTimer() { m_core->OnTimer(); }

bool TimeClient::IsStopped() const { return m_core->m_failures >= kFailuresBeforeStop; }

std::string TimeClient::GetStatusText() const {
  if (IsStopped()) return "Err:Stop";
  if (!m_core->m_running) return "Disabled";
  if (m_core->m_busy) return "-BUSY-";
  return std::to_string(m_core->m_syncCount);
}

void TimeClient::StartUpIfEnabled() {
  if (!m_core->m_settings.m_startUp) return;
  StartClient();
  DoSynchro();
}

void TimeClient::SetEnabled(bool enabled) {
  m_core->m_settings.m_startUp = enabled;
  if (enabled) {
    StartClient();
  } else {
    StopClient();
  }
}

void TimeClient::Save(std::function<void(int error)> done) {
  const auto finished = [this, done = std::move(done)](int error, bool wasSlow) {
    if (error != 0) ReportSettingsError(Tr(kSaveFailedText.data()), error);
    else if (wasSlow) m_core->View().SetMessages(Tr(kSavedText.data()));
    if (m_core->m_running) {
      StopClient();
      StartClient();
    }
    if (done) done(error);
  };
  m_saver.Save(InfoOf(m_core->m_kind).section, m_core->m_settings,
               {[this] { m_core->View().SetMessages(Tr(kSavingText.data())); }, finished});
}

void TimeClient::ReportSettingsError(std::string_view text, int errorCode) {
  char head[64];
  std::snprintf(head, sizeof head, TrCrlf("Melding: %d ERROR: %d\n").c_str(), ++m_core->m_settingsMessages, errorCode);
  m_core->View().SetMessages(head + std::string(text));
}

ClientSettings& TimeClient::Settings() { return m_core->m_settings; }
const ClientSettings& TimeClient::Settings() const { return m_core->m_settings; }
void TimeClient::SetTimeout(std::chrono::milliseconds timeout) { m_core->m_timeout = timeout; }
ClientKind TimeClient::Kind() const { return m_core->m_kind; }
const std::string& TimeClient::Title() const { return m_core->m_title; }
const AnswerArea& TimeClient::Answer() const { return m_core->m_answer; }
const std::optional<SntpTimes>& TimeClient::AnswerTimes() const { return m_core->m_answerTimes; }
int TimeClient::Failures() const { return m_core->m_failures; }
int TimeClient::SyncCount() const { return m_core->m_syncCount; }
bool TimeClient::IsRunning() const { return m_core->m_running; }
bool TimeClient::IsRequestActive() const { return m_core->m_active; }
std::int64_t TimeClient::LastAttempt() const { return m_core->m_lastAttempt; }
const RequestOutcome& TimeClient::LastOutcome() const { return m_core->m_outcome; }
std::chrono::steady_clock::duration TimeClient::TimerPeriod() const { return m_core->m_period; }

}  // namespace horavex
