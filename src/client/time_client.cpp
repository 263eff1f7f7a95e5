#include "client/time_client.h"

#include <cerrno>
#include <cstdio>

#include <asio/bind_executor.hpp>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/use_awaitable.hpp>

#include "client/time_connection.h"
#include "common/common_settings.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "platform/clock.h"
#include "platform/clock_async.h"

namespace horavex {
namespace {

constexpr const char* kNoConnection = "Geen verbinding met server\r\nof de poort is niet te openen";
constexpr const char* kBadAnswer = "Verkeerd of geen resultaat ontvangen";
constexpr const char* kInvalidTime = "Ongeldige datum/tijd..";
constexpr const char* kTooFar = "Datum / tijd wijkt TEVEEL af, abort";
constexpr const char* kCannotSet = "Kon de TIJD niet instellen (rechten?)";

constexpr int kFailuresBeforeStop = 10;

}  // namespace

TimeClient::TimeClient(ClientKind kind, ClientServices services, ClientView& view)
    : m_services(services),
      m_view(view),
      m_nKind(kind),
      m_pszTitle(InfoOf(kind).title),
      m_pszSection(InfoOf(kind).section),
      m_strPortHint(InfoOf(kind).portHint),
      m_settings(ClientSettings::Load(services.profile, kind)),
      m_timeout(kRequestTimeout),
      m_timer(services.executors.io) {}

TimeClient::~TimeClient() {
  // A request or tick still under way finds the client gone when it resumes.
  *m_alive = false;
  m_timer.cancel();
}

void TimeClient::DoSynchro() {
  if (m_bActive) {
    m_view.SetStatusLine("Aanvraag loopt reeds");
    return;
  }
  m_bActive = true;
  m_outcome = {};
  asio::co_spawn(m_services.executors.logic, Synchro(m_alive), asio::detached);
}

asio::awaitable<void> TimeClient::Synchro(std::shared_ptr<bool> alive) {
  const CommonSettings common(m_services.profile);
  const int mode = common.CheckConnect();
  DialupRequest check = DialupRequest::BeforeRequest(mode, mode != 0 ? common.Connection() : std::string());
  std::optional<bool> mayConnect = m_services.dialup.TryManageHere(check);
  if (!mayConnect) {
    mayConnect = co_await m_services.dialup.AsyncManage(std::move(check), asio::use_awaitable);
    if (!*alive) co_return;
  }
  if (!*mayConnect) {
    // Without a network nothing is shown; a modem that is not there is.
    if (mode != 0) m_view.SetStatusLine("Geen MODEM verbinding");
    m_bActive = false;
    if (m_onFinished) m_onFinished();
    co_return;
  }

  m_view.EnableSynchro(false);
  m_view.SetStatusLine("Start aanvraag");
  m_bBusy = true;

  std::optional<Failure> failure = co_await Exchange(alive);
  if (!*alive) co_return;
  if (failure) {
    m_outcome.failure = failure->text;
    m_outcome.number = failure->number;
    co_await ReportError(failure->text, failure->number);
    if (!*alive) co_return;
  }
  co_await Finish(alive);
}

asio::awaitable<std::optional<TimeClient::Failure>> TimeClient::Exchange(std::shared_ptr<bool> alive) {
  const auto deadline = std::chrono::steady_clock::now() + m_timeout;
  TimeConnection connection(m_services.executors.io, m_nKind);
  const std::error_code connectError =
      co_await connection.Connect(m_settings.m_strServer, m_settings.m_nPort, deadline);
  if (!*alive) co_return std::nullopt;
  if (connectError) co_return Failure{kNoConnection, connectError.value()};

  connection.Send(Request());
  m_abAnswer.fill(0);
  // The socket fills a buffer of the request's own; the client's area changes only here, on
  // the logic thread, so a window reading it never sees half an answer.
  AnswerArea received{};
  const ReceiveResult r = co_await connection.Receive(received, deadline);
  if (!*alive) co_return std::nullopt;
  m_abAnswer = received;
  connection.Close();
  m_outcome.received = true;
  m_outcome.clockAtAnswer = m_services.clock.GetSystemTime();

  // A receive error is a huge unsigned count, so it fails through the zeroed first byte.
  if (static_cast<std::uint32_t>(r.count) < 4 || m_abAnswer[0] == 0) {
    const std::int32_t number = r.error ? -r.error.value() : static_cast<std::int32_t>(r.count);
    co_return Failure{kBadAnswer, number};
  }
  std::int32_t calendarSeconds = 0;
  std::int32_t milliseconds = -1;
  const std::optional<std::tm> utc =
      DecodeAnswer(static_cast<std::uint32_t>(m_nKind), m_abAnswer, calendarSeconds, milliseconds);
  if (!utc) co_return Failure{kInvalidTime, 0};
  m_outcome.utc = utc;
  m_outcome.calendarSeconds = calendarSeconds;
  m_outcome.milliseconds = milliseconds;
  if (const std::int32_t d = CheckMaxOffset(m_services.clock.Time(), calendarSeconds, m_settings.m_nMaxOffsetIndex))
    co_return Failure{kTooFar, d};
  co_return co_await SetClock(*utc, milliseconds, alive);
}

asio::awaitable<std::optional<TimeClient::Failure>> TimeClient::SetClock(const std::tm& utc, std::int32_t milliseconds,
                                                                        std::shared_ptr<bool> alive) {
  Clock& clock = m_services.clock;
  const SystemTime readAt = clock.GetSystemTime();
  const ClockSetting setting{ApplyDecodedTime(readAt, utc, milliseconds), readAt};
  // The set may wait for a person to authorise it: the logic thread goes on meanwhile.
  const ClockSetResult set = co_await AsyncSetClock(clock, setting, asio::use_awaitable);
  if (!*alive) co_return std::nullopt;
  switch (set.error) {
    case 0: break;
    case EBUSY: co_return Failure{"De automatische tijdsynchronisatie van het systeem staat aan:\r\nzet die eerst uit", EBUSY};
    case ETIMEDOUT:
      co_return Failure{"Kon de TIJD niet instellen: geen antwoord op tijd\r\n(het systeem kan het later nog doen)",
                        ETIMEDOUT};
    case EALREADY: co_return Failure{"Kon de TIJD niet instellen:\r\neen eerdere instelling wacht nog", EALREADY};
    default: co_return Failure{kCannotSet, set.error};
  }
  m_outcome.clockSet = true;
  m_outcome.clockSetBy = SetWayName(set.way);
  m_nFailures = 0;
  m_tLastSync = clock.Time();
  ++m_nSyncCount;
  m_view.SetMessages("Oke\r\nTijd is ingesteld...");
  co_return std::nullopt;
}

asio::awaitable<void> TimeClient::ReportError(std::string text, std::int32_t number) {
  const int n = ++m_nFailures;
  char head[64];
  std::snprintf(head, sizeof head, "Melding: %d ERROR: %d %s\r\n", n, number, n >= kFailuresBeforeStop ? "STOPPED" : "");
  m_view.SetMessages(head + text);
  if (!ShouldWarn(n, m_settings.m_nWarnLevel)) co_return;

  char tail[32];
  std::snprintf(tail, sizeof tail, "\r\n[ERROR: %d]", number);
  // The request waits until the user has closed the box; the view calls back exactly once.
  co_await asio::async_initiate<const asio::use_awaitable_t<>, void()>(
      [this, &text, &tail](auto handler) {
        auto pending = std::make_shared<std::optional<decltype(handler)>>(std::move(handler));
        m_view.ShowWarning(m_pszTitle, text + tail, [pending] {
          if (!*pending) return;
          auto h = std::move(**pending);
          pending->reset();
          auto ex = asio::get_associated_executor(h);
          asio::post(ex, std::move(h));
        });
      },
      asio::use_awaitable);
}

asio::awaitable<void> TimeClient::Finish(std::shared_ptr<bool> alive) {
  m_tLastAttempt = m_services.clock.Time();
  m_view.SetLastAttempt(FormatDayMonthTime(m_tLastAttempt));
  if (m_tLastSync != 0) {
    m_view.SetLastSync(FormatDayMonthTime(m_tLastSync));
    if (m_pLastSync) {
      m_pLastSync->m_szLastSyncAt = FormatClockTime(m_tLastSync);
      m_pLastSync->m_szLastSyncBy = InfoOf(m_nKind).lastSyncLabel;
    }
  }
  m_view.SetStatusLine("Aanvraag gereed");
  // A local, not a temporary in the co_await expression: g++ 12 may destroy such a temporary twice.
  DialupRequest hangUp = DialupRequest::AfterRequest();
  if (!m_services.dialup.TryManageHere(hangUp)) {
    co_await m_services.dialup.AsyncManage(std::move(hangUp), asio::use_awaitable);
    if (!*alive) co_return;
  }
  m_bBusy = false;
  m_bActive = false;
  m_view.EnableSynchro(true);
  if (m_onFinished) m_onFinished();
}

std::vector<std::uint8_t> TimeClient::Request() const {
  switch (m_nKind) {
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

bool TimeClient::StartClient() {
  if (m_bRunning) return false;
  m_period = std::chrono::minutes(IntervalMinutesFromIndex(m_settings.m_nIntervalIndex));
  m_nextTick = std::chrono::steady_clock::now() + m_period;
  ArmTimer();
  m_view.SetStatusLine("Client gestart");
  m_nSyncCount = 0;
  m_bRunning = true;
  return true;
}

bool TimeClient::StopClient() {
  m_timer.cancel();
  ++m_timerGeneration;
  m_view.SetStatusLine("Client gestopt");
  m_bRunning = false;
  return true;
}

void TimeClient::ArmTimer() {
  m_timer.expires_at(m_nextTick);
  m_timer.async_wait(asio::bind_executor(
      m_services.executors.logic, [this, alive = m_alive, generation = m_timerGeneration](std::error_code ec) {
        if (!*alive || ec || generation != m_timerGeneration) return;
        // Ticks missed while the program was held up do not pile up: the next one is a whole
        // period from now.
        const auto now = std::chrono::steady_clock::now();
        m_nextTick += m_period;
        if (m_nextTick <= now) m_nextTick = now + m_period;
        ArmTimer();
        OnTimer();
      }));
}

void TimeClient::OnTimer() {
  if (m_nFailures < kFailuresBeforeStop) DoSynchro();
}

std::string TimeClient::GetStatusText() const {
  if (m_nFailures >= kFailuresBeforeStop) return "Err:Stop";
  if (!m_bRunning) return "Disabled";
  if (m_bBusy) return "-BUSY-";
  return std::to_string(m_nSyncCount);
}

void TimeClient::StartUpIfEnabled() {
  if (!m_settings.m_bStartUp) return;
  StartClient();
  DoSynchro();
}

void TimeClient::SetEnabled(bool enabled) {
  m_settings.m_bStartUp = enabled;
  if (enabled) {
    StartClient();
  } else {
    StopClient();
  }
}

bool TimeClient::Save() {
  const bool written = m_settings.Save(m_services.profile, m_nKind);
  if (m_bRunning) {
    StopClient();
    StartClient();
  }
  return written;
}

}  // namespace horavex
