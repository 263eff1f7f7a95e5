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

#include "client/client_settings.h"
#include "client/client_view.h"
#include "client/name_lookup.h"
#include "common/executors.h"
#include "common/language.h"
#include "common/settings_saver.h"
#include "protocol/kinds.h"
#include "protocol/calendar.h"
#include "platform/clock.h"
#include "protocol/sntp_offset.h"
#include "protocol/wire_formats.h"

namespace horavex {

class Clock;
class DialupService;
class Profile;

// What a client needs from the rest of the program. Requests of clients already destroyed may
// still use it until they have ended (TimeClient::RunningRequests).
struct ClientServices {
  Executors executors;
  Profile& profile;
  Clock& clock;
  DialupService& dialup;
  // A dry run: the clock is a simulated one, so a set is reported as what would have been set,
  // never as a synchronisation.
  bool dryRun = false;
  // Looks a server name up; it runs on a thread of its own (see LookUpHost).
  HostResolver resolve = ResolveHost;
};

// What the last request found out, for front ends that report more than the window does.
struct RequestOutcome {
  bool received = false;              // the request got as far as its receive
  std::optional<std::tm> utc;         // the answer decoded, UTC
  std::int32_t calendarSeconds = 0;
  std::int32_t milliseconds = -1;     // -1: the answer carries no fraction
  // What the answer asked the clock to be moved by, as the answer arrived: SNTP's offset
  // (theta), whole seconds for Time and Daytime.
  std::optional<std::chrono::nanoseconds> measured;
  bool clockSet = false;              // the clock (in a dry run the simulated one) took the set
  std::string clockSetBy;             // which way set the clock (SetWayName); empty when not set
  std::optional<ClockSetResult> wouldSet;  // a dry run's set: what the computer's clock would get
  std::string failure;                // the failure text; empty on success
  std::int32_t number = 0;            // the failure's number
};

// The status line while a client's set waits for another set to end.
inline constexpr const char* kWaitingForClock = TrNoop("Wacht op klok...");

// A correction as the logs show it: sign, seconds and milliseconds with a decimal comma
// ("+0,250 s").
std::string CorrectionText(std::chrono::microseconds correction);

// One client. Everything a request reads or writes lives in a core that the request holds for
// its whole run; the client only refers to it. Destroying the client releases the core: its
// timer stops, a running request unwinds at once (every wait ends) and shows, sets and reports
// nothing more, and the core goes when the request has ended.
class TimeClient {
 public:
  // Reads the kind's settings from the profile. Everything runs on executors.logic; sockets
  // and timers on executors.io.
  TimeClient(ClientKind kind, ClientServices services, ClientView& view);
  ~TimeClient();
  TimeClient(const TimeClient&) = delete;
  TimeClient& operator=(const TimeClient&) = delete;

  // How many requests of all clients in this process have not ended yet, those of destroyed
  // clients included. Their owner runs the logic executor until this is 0 before it takes
  // away the services, the executors' contexts included.
  static int RunningRequests();

  // Called at the end of every request of a client that has ever succeeded, with its kind and
  // the time of its last success (Unix seconds); the dashboard shows them.
  void SetLastSyncObserver(std::function<void(ClientKind kind, std::int64_t lastSync)> observer);
  // Called on the logic thread whenever a request has finished, whatever its outcome.
  void SetFinishedObserver(std::function<void()> observer);
  // Shows what follows through `view` (null: nowhere). A warning box open in the view it replaces
  // counts as closed, since that view is about to go.
  void SetView(ClientView* view);

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
  // Ten requests or more failed in a row: the interval makes no more ("Err:Stop").
  bool IsStopped() const;

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

  ClientSettings& Settings();
  const ClientSettings& Settings() const;
  // How long a request waits for the network (kRequestTimeout unless changed).
  void SetTimeout(std::chrono::milliseconds timeout);

  ClientKind Kind() const;
  const std::string& Title() const;
  const AnswerArea& Answer() const;
  // The times of the exchange that brought an SNTP answer into the answer area; nothing for
  // another kind or an answer too short to hold them. Kept and replaced with the answer.
  const std::optional<SntpTimes>& AnswerTimes() const;
  int Failures() const;
  int SyncCount() const;
  bool IsRunning() const;
  // True from the moment a request is accepted until it has finished.
  bool IsRequestActive() const;
  std::int64_t LastAttempt() const;
  const RequestOutcome& LastOutcome() const;
  // The interval timer's period while running.
  std::chrono::steady_clock::duration TimerPeriod() const;

 private:
  struct Core;
  std::shared_ptr<Core> m_core;
  // Owned here, not by the core: a save's outcome belongs to the window that asked, and goes with it.
  SettingsSaver m_saver;
};

}  // namespace horavex
