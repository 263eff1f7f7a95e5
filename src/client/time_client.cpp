#include "client/time_client.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>
#include <system_error>
#include <utility>

#include <asio/bind_executor.hpp>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/use_awaitable.hpp>

#include "client/time_connection.h"
#include "common/common_settings.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "platform/clock.h"
#include "protocol/calendar.h"
#include "protocol/window_texts.h"
#include "platform/clock_async.h"

namespace horavex {
namespace {

constexpr const char* kNoConnection = "Geen verbinding met server\r\nof de poort is niet te openen";
constexpr const char* kBadAnswer = "Verkeerd of geen resultaat ontvangen";
constexpr const char* kInvalidTime = "Ongeldige datum/tijd..";
constexpr const char* kTooFar = "Datum / tijd wijkt TEVEEL af, abort";
constexpr const char* kCannotSet = "Kon de TIJD niet instellen (rechten?)";

constexpr int kFailuresBeforeStop = 10;

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

}  // namespace

TimeClient::TimeClient(ClientKind kind, ClientServices services, ClientView& view)
    : m_services(services),
      m_view(view),
      m_nKind(kind),
      m_pszTitle(InfoOf(kind).title),
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
  asio::co_spawn(m_services.executors.logic, Synchro(m_alive), [this, alive = m_alive](std::exception_ptr e) {
    // Only when even the report and the finish threw: the client must not stay active for good.
    if (!e || !*alive || !m_bActive) return;
    m_bBusy = m_bActive = false;
    try {
      m_view.EnableSynchro(true);
    } catch (...) {
    }
  });
}

asio::awaitable<void> TimeClient::Synchro(std::shared_ptr<bool> alive) {
  std::optional<Failure> failure;
  try {
    if (!co_await MayConnect(alive)) co_return;
    m_bBusy = true;
    m_view.EnableSynchro(false);
    m_view.SetStatusLine("Start aanvraag");
    failure = co_await Exchange(alive);
  } catch (...) {
    // A thread that cannot start, an allocation that fails, a view or clock that throws: the
    // request still ends as a counted failure, so that it can be asked again.
    failure = Failure{kBadAnswer, -ErrorOf(std::current_exception())};
  }
  if (!*alive) co_return;
  m_bBusy = true;
  if (failure) {
    m_outcome.failure = failure->text;
    m_outcome.number = failure->number;
    try {
      co_await ReportError(failure->text, failure->number);
    } catch (...) {
    }  // counted before anything is shown
    if (!*alive) co_return;
  }
  co_await Finish(alive);
}

asio::awaitable<bool> TimeClient::MayConnect(std::shared_ptr<bool> alive) {
  const CommonSettings common = CommonSettings::Load(m_services.profile);
  const int mode = common.m_nCheckConnect;
  DialupRequest check = DialupRequest::BeforeRequest(mode, mode != 0 ? common.m_strConnection : std::string());
  const bool mayConnect = co_await m_services.dialup.Manage(std::move(check), asio::use_awaitable);
  if (!*alive || mayConnect) co_return mayConnect;
  // Without a network nothing is shown; a modem that is not there is.
  if (mode != 0) m_view.SetStatusLine("Geen MODEM verbinding");
  EndRequest();
  co_return false;
}

asio::awaitable<std::optional<TimeClient::Failure>> TimeClient::Exchange(std::shared_ptr<bool> alive) {
  const auto deadline = std::chrono::steady_clock::now() + m_timeout;
  TimeConnection connection(m_services.executors.io, m_nKind);
  const std::error_code connectError =
      co_await connection.Connect(m_settings.m_strServer, m_settings.m_nPort, deadline);
  if (!*alive) co_return std::nullopt;
  if (connectError) co_return Failure{kNoConnection, connectError.value()};

  const std::vector<std::uint8_t> request = Request();
  connection.Send(request);
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
  // An SNTP answer must be one, and to this request, before its time may set the clock.
  if (m_nKind == ClientKind::SntpUdp) {
    const auto length = static_cast<std::size_t>(std::clamp<std::int64_t>(r.count, 0, kAnswerSize));
    if (const int refusal = SntpRefusal(std::span(m_abAnswer).first(length), request))
      co_return Failure{kInvalidTime, refusal};
  }
  const std::optional<DecodedTime> decoded = DecodeAnswer(m_nKind, m_abAnswer);
  if (!decoded) co_return Failure{kInvalidTime, 0};
  m_outcome.utc = decoded->utc;
  m_outcome.calendarSeconds = decoded->calendarSeconds;
  m_outcome.milliseconds = decoded->milliseconds;
  if (const std::int32_t d =
          CheckMaxOffset(m_services.clock.Time(), decoded->calendarSeconds, m_settings.m_nMaxOffsetIndex))
    co_return Failure{kTooFar, d};
  co_return co_await SetClock(decoded->utc, decoded->milliseconds, alive);
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
  m_bWarningOpen = true;
  struct Closed {
    bool& open;
    ~Closed() { open = false; }
  } closed{m_bWarningOpen};
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
  try {
    m_tLastAttempt = m_services.clock.Time();
    m_view.SetLastAttempt(FormatDayMonthTime(m_tLastAttempt));
    if (m_tLastSync != 0) {
      m_view.SetLastSync(FormatDayMonthTime(m_tLastSync));
      if (m_onLastSync) m_onLastSync(m_nKind, m_tLastSync);
    }
    m_view.SetStatusLine("Aanvraag gereed");
  } catch (...) {
  }  // what could not be shown does not keep the request from ending
  // A local, not a temporary in the co_await expression: g++ 12 may destroy such a temporary twice.
  DialupRequest hangUp = DialupRequest::AfterRequest();
  co_await m_services.dialup.Manage(std::move(hangUp), asio::use_awaitable);
  if (!*alive) co_return;
  EndRequest();
}

void TimeClient::EndRequest() {
  m_bBusy = false;
  m_bActive = false;
  m_view.EnableSynchro(true);
  if (m_onFinished) m_onFinished();
  // A tick held while the request waited is handled now.
  if (std::exchange(m_bTickHeld, false)) OnTimer();
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

void TimeClient::StopClient() {
  m_timer.cancel();
  ++m_timerGeneration;
  m_bTickHeld = false;
  m_view.SetStatusLine("Client gestopt");
  m_bRunning = false;
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
  if (m_nFailures >= kFailuresBeforeStop) return;
  // While the request waits on the network the tick is held, one at most; while its warning box
  // is open the tick is refused like a second request.
  if (m_bActive && !m_bWarningOpen) {
    m_bTickHeld = true;
    return;
  }
  DoSynchro();
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

void TimeClient::Save(std::function<void(int error)> done) {
  const auto finished = [this, done = std::move(done)](int error, bool wasSlow) {
    if (error != 0) ReportSettingsError(kSaveFailedText, error);
    else if (wasSlow) m_view.SetMessages(std::string(kSavedText));
    if (m_bRunning) {
      StopClient();
      StartClient();
    }
    if (done) done(error);
  };
  m_saver.Save(InfoOf(m_nKind).section, m_settings, {[this] { m_view.SetMessages(std::string(kSavingText)); }, finished});
}

void TimeClient::ReportSettingsError(std::string_view text, int errorCode) {
  char head[64];
  std::snprintf(head, sizeof head, "Melding: %d ERROR: %d\r\n", ++m_nSettingsMessages, errorCode);
  m_view.SetMessages(head + std::string(text));
}

}  // namespace horavex
