// horavexd: the servers and clients of the profile, running without windows, reporting on
// standard output; for machines without a screen.
#pragma once

#include <array>
#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <asio/signal_set.hpp>
#include <asio/steady_timer.hpp>

#include "app/station.h"
#include "cli/daemon_views.h"
#include "client/time_client.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "server/time_server.h"

namespace horavex {

struct DaemonOptions {
  std::optional<std::filesystem::path> profile;   // default: the windowed program's profile
  bool dryRun = false;                            // clients set a simulated clock only
  std::optional<asio::ip::address> bindAddress;   // servers listen on this address only
};

struct ParsedDaemon {
  std::optional<DaemonOptions> options;  // nothing when the arguments are wrong or help was asked
  std::string message;                   // the error or the help text
};

// Reads the arguments after the program name.
ParsedDaemon ParseDaemonArgs(const std::vector<std::string>& args);
std::string DaemonUsage();

// horavexd: a Station, as the windowed program has one, with printing views instead of windows.
// Logic, sockets and timers share one io_context on the thread that runs it.
class Daemon {
 public:
  // Logs to `outFd`; the clients' network checks use `dialup`.
  Daemon(const DaemonOptions& options, int outFd, std::unique_ptr<DialupPort> dialup);
  ~Daemon();
  Daemon(const Daemon&) = delete;
  Daemon& operator=(const Daemon&) = delete;

  // Starts what the profile enables; false when nothing runs.
  bool Start();
  // Runs until a stop signal.
  void Run();
  // SIGHUP: reads the profile again and restarts each server and client whose settings changed.
  // A profile that cannot be read, is gone or names no server or client keeps all as it runs.
  void Reload();
  // SIGINT, SIGTERM: releases the clients, stops the servers, lets the released requests end
  // (a second at most) and then stops the io_context.
  void Stop();
  asio::io_context& Io() { return m_io; }
  LinePrinter& Printer() { return m_printer; }

 private:
  void Tick();
  void WaitForReload();
  // Stops the io_context once no request runs any more, or at `deadline`.
  void StopWhenRequestsEnded(std::chrono::steady_clock::time_point deadline);

  asio::io_context m_io;
  Executors m_executors{m_io.get_executor(), m_io.get_executor()};
  LinePrinter m_printer;
  Profile m_profile;
  std::unique_ptr<Clock> m_clock;
  DialupService m_dialup;
  // Before the station, which shows through them until it goes.
  std::array<std::unique_ptr<PrintingServerView>, kServerKindCount> m_serverViews;
  std::array<std::unique_ptr<PrintingClientView>, kClientKindCount> m_clientViews;
  Station m_station;
  bool m_stopping = false;
  asio::steady_timer m_tick{m_io};
  asio::steady_timer m_drain{m_io};
  asio::signal_set m_stopSignals{m_io, SIGINT, SIGTERM};
  asio::signal_set m_reloadSignal{m_io, SIGHUP};
};

// Runs until SIGINT or SIGTERM, logging to `outFd` without ever waiting for it; SIGHUP reads the
// profile again. 0 after a clean stop, 1 when nothing could be started.
int RunDaemon(const DaemonOptions& options, int outFd);

}  // namespace horavex
