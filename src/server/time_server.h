// One time server as logic: its settings, starting and stopping, its numbered error messages and
// its status text. The server window (CTimeServerDlg) wraps it and implements ServerView; the
// headless front end does the same without a window.
//
// Everything here runs on the logic executor; the socket answers on the io executor (see
// TimeServerSocket). Both executors' contexts must outlive the server.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <asio/ip/address.hpp>

#include "common/executors.h"
#include "common/language.h"
#include "common/settings_saver.h"
#include "protocol/kinds.h"
#include "server/server_settings.h"
#include "server/server_socket.h"
#include "server/server_view.h"

namespace horavex {

class Clock;
class Profile;

// What a server needs from the rest of the program. The clock is read on the io executor for
// every answer, so it must be safe to read from there (the system clock, a SimulatedClock).
struct ServerServices {
  Executors executors;
  Profile& profile;
  Clock& clock;
};

// Texts of the numbered error messages, marked only: ReportError translates them.
inline constexpr std::string_view kCreateFailedText = TrNoop("Creatie socket NIET mogelijk");
inline constexpr std::string_view kListenFailedText = TrNoop("Socket niet te maken, of niet te openen");
inline constexpr std::string_view kAcceptFailedText = TrNoop("Verbinding aannemen NIET mogelijk");
// The status text of a server that is not running.
inline constexpr std::string_view kDisabledText = "disabled";
// The status text of a server that should run but could not start (its port taken or refused);
// like a client's "Err:Stop", it fits the main window's 12 characters.
inline constexpr std::string_view kStartFailedText = "Err:Start";

class TimeServer {
 public:
  // Reads "Port" and "StartUp" of the kind's section. Without `bindAddress` the server binds all
  // addresses, IPv6 and IPv4; with one, that address only. Nothing starts yet: see StartIfEnabled.
  TimeServer(ServerKind kind, ServerServices services, ServerView& view,
             std::optional<asio::ip::address> bindAddress = std::nullopt);
  // Stops the server.
  ~TimeServer();
  TimeServer(const TimeServer&) = delete;
  TimeServer& operator=(const TimeServer&) = delete;

  // What opening the window does: start when enabled ("StartUp"), and show the status text.
  void StartIfEnabled();
  // Shows what follows through `view` (null: nowhere), starting with the request field.
  void SetView(ServerView* view);
  // Binds the port and starts answering with a new count and log; nothing while running. A port
  // that cannot be bound gives message "Creatie socket NIET mogelijk"; so do port 0 (the system
  // would pick a port nobody knows) and ports above 65535.
  void StartServer();
  // Closes the socket, which frees the port at once; count and log are gone. Nothing unless running.
  void StopServer();
  // The save button: writes "Port" and "StartUp" on the profile's writer thread; once that is
  // done, stops, and starts again when enabled. A failed write is message "Instellingen NIET te
  // bewaren" with its errno; one still running after kSlowSave shows kSavingText until it ends
  // (then kSavedText). `done` gets 0 or the errno, never after the server is gone.
  void Save(std::function<void(int error)> done = {});
  // The Enabled button: starts or stops on the current port; nothing is written.
  void SetEnabled(bool enabled);
  // The port edit: the port the next start binds; a running server keeps its port until restarted.
  void SetPort(unsigned port) { m_port = port; }

  // Adds a numbered message "Melding: %d ERROR: %d\r\n%s" to the messages field; `text` is a
  // marked source text, translated here.
  void ReportError(std::string_view text, int errorCode);
  // The request count of a running server (decimal); "Err:Start" when it is enabled but its last
  // start failed; else "disabled". At most 12 characters.
  std::string GetStatusText() const;

  // The port edit's value: what the next start binds (m_port).
  unsigned Port() const { return m_port; }
  // The Enabled state (m_startUp), saved or not.
  bool StartUp() const { return m_startUp; }
  // Whether the server holds a socket (m_running), listening or not.
  bool Running() const { return m_running; }
  // The port the running server is bound to; 0 when not running.
  std::uint16_t LocalPort() const { return m_socket ? m_socket->LocalPort() : 0; }

 private:
  // The reports of a new socket, tagged with a new generation.
  TimeServerSocket::Reports MakeReports();
  // Count and log of the socket of `generation`; dropped when that socket is gone.
  void OnRequests(std::uint64_t generation, std::uint32_t requests, const std::string& log);
  // A failing accept of the socket of `generation`; dropped when that socket is gone.
  void OnAcceptFailed(std::uint64_t generation, int errorCode);
  // Shows the status text in the request field when it changed.
  void ShowRequestText();

  ServerKind m_kind;
  Profile& m_profile;
  Executors m_executors;
  Clock& m_clock;
  ServerView* m_view;  // never null: NullServerView when nothing shows
  std::optional<asio::ip::address> m_bindAddress;
  unsigned m_port;
  bool m_startUp;
  int m_messageCount = 0;
  std::shared_ptr<TimeServerSocket> m_socket;
  bool m_running = false;
  bool m_startFailed = false;  // the last start bound no socket
  std::uint32_t m_requestsShown = 0;  // the count of the latest report of the running socket
  std::uint64_t m_generation = 0;     // tells a running socket's reports from older ones
  std::optional<std::string> m_requestText;
  std::shared_ptr<TimeServer*> m_alive;  // reports posted to the logic side find the server through it
  SettingsSaver m_saver{m_profile, m_executors};
};

}  // namespace horavex
