// One time client: its settings, its synchronisation request ("Synchro"), its interval timer
// and the short status text the dashboard shows for it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>
#include <string>
#include <string_view>

#include <asio/awaitable.hpp>
#include <asio/steady_timer.hpp>

#include "client/client_settings.h"
#include "client/client_view.h"
#include "common/executors.h"
#include "common/settings_saver.h"
#include "protocol/kinds.h"
#include "protocol/calendar.h"
#include "protocol/wire_formats.h"

namespace horavex {

class Clock;
class DialupService;
class Profile;

// What a client needs from the rest of the program.
struct ClientServices {
  Executors executors;
  Profile& profile;
  Clock& clock;
  DialupService& dialup;
};

// What the last request found out, for front ends that report more than the window does.
struct RequestOutcome {
  bool received = false;              // the request got as far as its receive
  SystemTime clockAtAnswer{};         // the local clock right after the receive
  std::optional<std::tm> utc;         // the answer decoded, UTC
  std::int32_t calendarSeconds = 0;
  std::int32_t milliseconds = -1;     // -1: the answer carries no fraction
  bool clockSet = false;
  std::string clockSetBy;             // which way set the clock (SetWayName); empty when not set
  std::string failure;                // the failure text; empty on success
  std::int32_t number = 0;            // the failure's number
};

class TimeClient {
 public:
  // Reads the kind's settings from the profile. Everything runs on executors.logic; sockets
  // and timers on executors.io.
  TimeClient(ClientKind kind, ClientServices services, ClientView& view);
  ~TimeClient();
  TimeClient(const TimeClient&) = delete;
  TimeClient& operator=(const TimeClient&) = delete;

  // Called at the end of every request of a client that has ever succeeded, with its kind and
  // the time of its last success (Unix seconds); the dashboard shows them.
  void SetLastSyncObserver(std::function<void(ClientKind kind, std::int64_t lastSync)> observer) {
    m_onLastSync = std::move(observer);
  }

  // Starts one request, unless one of this client runs already ("Aanvraag loopt reeds").
  void DoSynchro();
  // Starts the interval timer; false when it ran already (nothing changes then).
  bool StartClient();
  // Stops the interval timer; a tick held for later is dropped.
  void StopClient();
  // The interval timer's tick: a request, unless ten or more failed in a row. While this
  // client's request waits on the network the tick is held until it ends (one at most).
  void OnTimer();
  // "Err:Stop", "Disabled", "-BUSY-" or the number of successes since the client started.
  std::string GetStatusText() const;

  // When the client is enabled: start it and make one request at once (the window's creation).
  void StartUpIfEnabled();
  // The Enabled button: start or stop the timer; nothing is saved and no request is made.
  void SetEnabled(bool enabled);
  // Saves the settings on the profile's writer thread; once that is done, a running client's
  // interval starts again from then. A failed write is message "Melding: n ERROR: e\r\nInstellingen
  // NIET te bewaren" (ReportSettingsError); one still running after kSlowSave shows kSavingText
  // until it ends (then kSavedText). `done` gets 0 or the errno, never after the client is gone.
  void Save(std::function<void(int error)> done = {});
  // A message of the window that is no failed request: "Melding: %d ERROR: %d\r\n%s", numbered
  // by its own count (the first is 1), so that neither the failures in a row nor "Err:Stop" move.
  void ReportSettingsError(std::string_view text, int errorCode);

  ClientSettings& Settings() { return m_settings; }
  const ClientSettings& Settings() const { return m_settings; }
  // How long a request waits for the network (kRequestTimeout unless changed).
  void SetTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
  // Called on the logic thread whenever a request has finished, whatever its outcome.
  void SetFinishedObserver(std::function<void()> observer) { m_onFinished = std::move(observer); }

  ClientKind Kind() const { return m_nKind; }
  const std::string& Title() const { return m_pszTitle; }
  const AnswerArea& Answer() const { return m_abAnswer; }
  int Failures() const { return m_nFailures; }
  int SyncCount() const { return m_nSyncCount; }
  bool IsRunning() const { return m_bRunning; }
  // True from the moment a request is accepted until it has finished.
  bool IsRequestActive() const { return m_bActive; }
  std::int64_t LastAttempt() const { return m_tLastAttempt; }
  const RequestOutcome& LastOutcome() const { return m_outcome; }
  // The interval timer's period while running.
  std::chrono::steady_clock::duration TimerPeriod() const { return m_period; }

 private:
  struct Failure {
    std::string text;
    std::int32_t number = 0;
  };

  asio::awaitable<void> Synchro(std::shared_ptr<bool> alive);
  asio::awaitable<bool> MayConnect(std::shared_ptr<bool> alive);
  asio::awaitable<std::optional<Failure>> Exchange(std::shared_ptr<bool> alive);
  asio::awaitable<std::optional<Failure>> SetClock(const std::tm& utc, std::int32_t milliseconds,
                                                   std::shared_ptr<bool> alive);
  asio::awaitable<void> ReportError(std::string text, std::int32_t number);
  asio::awaitable<void> Finish(std::shared_ptr<bool> alive);
  void EndRequest();
  std::vector<std::uint8_t> Request() const;
  void ArmTimer();

  ClientServices m_services;
  ClientView& m_view;

  const ClientKind m_nKind;
  const std::string m_pszTitle;
  ClientSettings m_settings;

  AnswerArea m_abAnswer{};
  int m_nFailures = 0;
  int m_nSyncCount = 0;
  std::int64_t m_tLastSync = 0;
  std::int64_t m_tLastAttempt = 0;
  bool m_bBusy = false;
  bool m_bRunning = false;
  bool m_bActive = false;
  bool m_bWarningOpen = false;
  bool m_bTickHeld = false;
  RequestOutcome m_outcome;

  std::chrono::milliseconds m_timeout;
  std::function<void()> m_onFinished;
  std::function<void(ClientKind, std::int64_t)> m_onLastSync;
  asio::steady_timer m_timer;
  std::chrono::steady_clock::duration m_period{};
  std::chrono::steady_clock::time_point m_nextTick{};
  std::uint64_t m_timerGeneration = 0;
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
  int m_nSettingsMessages = 0;
  SettingsSaver m_saver{m_services.profile, m_services.executors};
};

}  // namespace horavex
