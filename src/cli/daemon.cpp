#include "cli/daemon.h"

#include <array>
#include <csignal>
#include <memory>

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <asio/steady_timer.hpp>

#include "app/dashboard.h"
#include "cli/daemon_views.h"
#include "client/time_client.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "platform/clock.h"
#include "platform/simulated_clock.h"
#include "protocol/window_texts.h"
#include "server/time_server.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;

// How often horavexd looks at the dashboard; a log needs no 150 ms refresh.
constexpr auto kTickPeriod = 1s;

// Status sources that read the server or client in each slot when asked, so that a slot may be
// refilled (SIGHUP) without telling the dashboard.
template <class T, std::size_t N>
std::array<DashboardModel::StatusSource, N> Sources(const std::array<std::unique_ptr<T>, N>& slots) {
  std::array<DashboardModel::StatusSource, N> sources;
  for (std::size_t i = 0; i < N; ++i) sources[i] = [&slots, i] { return slots[i]->GetStatusText(); };
  return sources;
}

// Everything horavexd runs, in the order the windowed program makes it: servers, then clients.
class Daemon {
 public:
  Daemon(const DaemonOptions& options, int outFd);
  ~Daemon();
  // Starts what the profile enables; false when nothing runs.
  bool Start();
  // Runs until a stop signal.
  void Run();
  LinePrinter& Printer() { return printer_; }

 private:
  // Makes the client of slot `i` from the profile, reporting its successes to the dashboard.
  void MakeClient(std::size_t i);
  void Tick();
  // SIGHUP: reads the profile again and restarts each server and client whose settings changed.
  void Reload();
  void WaitForReload();
  void Stop();
  std::unique_ptr<Clock> MakeClock(bool dryRun);

  asio::io_context io_;
  Executors executors_{io_.get_executor(), io_.get_executor()};
  LinePrinter printer_;
  Profile profile_;
  std::unique_ptr<Clock> clock_;
  DialupService dialup_;
  std::array<std::unique_ptr<PrintingServerView>, kServerKindCount> serverViews_;
  std::array<std::unique_ptr<TimeServer>, kServerKindCount> servers_;
  std::array<std::unique_ptr<PrintingClientView>, kClientKindCount> clientViews_;
  std::array<std::unique_ptr<TimeClient>, kClientKindCount> clients_;
  DashboardModel dashboard_;
  asio::steady_timer tick_{io_};
  asio::signal_set stopSignals_{io_, SIGINT, SIGTERM};
  asio::signal_set reloadSignal_{io_, SIGHUP};
};

Daemon::Daemon(const DaemonOptions& options, int outFd)
    : printer_(outFd),
      profile_(options.profile.value_or(Profile::DefaultPath("horavex"))),
      clock_(MakeClock(options.dryRun)),
      dialup_(MakeSystemDialupPort(), io_.get_executor()),
      dashboard_(Sources(servers_), Sources(clients_)) {
  for (std::size_t i = 0; i < servers_.size(); ++i) {
    const ServerKind kind = kServerKinds[i];
    serverViews_[i] = std::make_unique<PrintingServerView>(printer_, std::string(InfoOf(kind).title));
    servers_[i] = std::make_unique<TimeServer>(kind, ServerServices{executors_, profile_, *clock_}, *serverViews_[i],
                                               options.bindAddress);
  }
  for (std::size_t i = 0; i < clients_.size(); ++i) {
    clientViews_[i] = std::make_unique<PrintingClientView>(printer_, std::string(InfoOf(kClientKinds[i]).title));
    MakeClient(i);
  }
}

Daemon::~Daemon() {
  // Clients and servers go before the dial-up service and the io_context they use.
  for (auto& c : clients_) c.reset();
  for (auto& s : servers_) s.reset();
}

void Daemon::MakeClient(std::size_t i) {
  clients_[i].reset();
  clients_[i] = std::make_unique<TimeClient>(kClientKinds[i], ClientServices{executors_, profile_, *clock_, dialup_},
                                             *clientViews_[i]);
  clients_[i]->SetLastSyncObserver([this](ClientKind kind, std::int64_t lastSync) {
    dashboard_.OnLastSync(kind, lastSync);
  });
}

std::unique_ptr<Clock> Daemon::MakeClock(bool dryRun) {
  if (!dryRun) return MakeSystemClock();
  auto clock = std::make_unique<SimulatedClock>();
  clock->SetObserver([this](const SystemTime& t) {
    printer_.Print("Klok", "Droogoefening: de klok zou gezet worden op " +
                               FormatDayMonthTime(UnixFromSystemTime(t)) + " (lokale tijd)");
  });
  return clock;
}

bool Daemon::Start() {
  printer_.Print("Horavex", "Profiel: " + profile_.Path().string());
  if (const std::string problem = profile_.ReadProblem(); !problem.empty()) printer_.Print("Horavex", problem);
  for (auto& s : servers_) s->StartIfEnabled();
  for (auto& c : clients_) c->StartUpIfEnabled();
  bool any = false;
  for (auto& s : servers_) any = any || s->Running();
  for (auto& c : clients_) any = any || c->IsRunning();
  return any;
}

void Daemon::Run() {
  stopSignals_.async_wait([this](std::error_code ec, int) {
    if (!ec) Stop();
  });
  WaitForReload();
  Tick();
  io_.run();
}

void Daemon::Tick() {
  bool lastSyncChanged = false;
  for (const DashboardChange& change : dashboard_.Tick()) {
    if (const auto* server = std::get_if<ServerKind>(&change.field))
      printer_.Print(std::string(InfoOf(*server).title), "status: " + change.text);
    else if (const auto* client = std::get_if<ClientKind>(&change.field))
      printer_.Print(std::string(InfoOf(*client).title), "status: " + change.text);
    else if (std::holds_alternative<LastSyncField>(change.field))
      lastSyncChanged = true;
  }
  // One line for both texts, whichever of them changed.
  if (lastSyncChanged) {
    const LastSyncTexts& sync = dashboard_.LastSync();
    printer_.Print("Horavex", "laatste synchronisatie: " + sync.m_szLastSyncBy + " " + sync.m_szLastSyncAt);
  }
  tick_.expires_after(kTickPeriod);
  tick_.async_wait([this](std::error_code ec) {
    if (!ec) Tick();
  });
}

void Daemon::WaitForReload() {
  reloadSignal_.async_wait([this](std::error_code ec, int) {
    if (ec) return;
    Reload();
    WaitForReload();
  });
}

void Daemon::Reload() {
  printer_.Print("Horavex", "SIGHUP: profiel opnieuw gelezen");
  for (std::size_t i = 0; i < servers_.size(); ++i) {
    TimeServer& server = *servers_[i];
    const ServerSettings saved = ServerSettings::Load(profile_, kServerKinds[i]);
    const unsigned port = saved.m_nPort;
    const bool enabled = saved.m_bStartUp;
    // A server that should run but could not start gets another try.
    if (port == server.Port() && enabled == server.StartUp() && enabled == server.Running()) continue;
    server.StopServer();
    server.SetPort(port);
    server.SetEnabled(enabled);
  }
  for (std::size_t i = 0; i < clients_.size(); ++i) {
    if (ClientSettings::Load(profile_, kClientKinds[i]) == clients_[i]->Settings()) continue;
    MakeClient(i);
    clients_[i]->StartUpIfEnabled();
  }
}

void Daemon::Stop() {
  printer_.Print("Horavex", "Stoppen");
  for (auto& c : clients_)
    if (c->IsRunning()) c->StopClient();
  for (auto& s : servers_) s->StopServer();
  tick_.cancel();
  io_.stop();
}

}  // namespace

std::string DaemonUsage() {
  return "Gebruik: horavexd [--profile PAD] [--dry-run] [--bind ADRES]\n"
         "  Start de servers en clients die in het profiel aan staan, zonder vensters,\n"
         "  en meldt hun status op de standaarduitvoer. Stopt bij SIGINT of SIGTERM;\n"
         "  SIGHUP leest het profiel opnieuw en herstart wat veranderd is.\n"
         "  --profile   het profiel (standaard dat van Horavex)\n"
         "  --dry-run   de clients zetten de klok niet, maar melden wat ze zouden zetten\n"
         "  --bind      de servers luisteren alleen op dit IPv4-adres\n"
         "  --help      toont deze tekst\n"
         "Afsluitstatus: 0 na SIGINT of SIGTERM, 1 niets gestart, 2 verkeerde argumenten.\n";
}

ParsedDaemon ParseDaemonArgs(const std::vector<std::string>& args) {
  DaemonOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--help" || a == "-h") return {std::nullopt, DaemonUsage()};
    if (a == "--dry-run") {
      o.dryRun = true;
    } else if (a == "--profile" && hasValue) {
      o.profile = args[++i];
    } else if (a == "--bind" && hasValue) {
      std::error_code ec;
      o.bindAddress = asio::ip::make_address_v4(args[++i], ec);
      // A server is bound to one of this machine's own addresses; a group or broadcast address
      // would take datagrams meant for others and answer from an address that is not ours.
      if (ec || o.bindAddress->is_multicast() || *o.bindAddress == asio::ip::address_v4::broadcast())
        return {std::nullopt, "Ongeldig IPv4-adres: " + args[i] + "\n" + DaemonUsage()};
    } else {
      return {std::nullopt, "Onbekend argument: " + a + "\n" + DaemonUsage()};
    }
  }
  return {o, {}};
}

int RunDaemon(const DaemonOptions& options, int outFd) {
  // A reader that went away must cost the log, not the servers.
  std::signal(SIGPIPE, SIG_IGN);
  Daemon daemon(options, outFd);
  if (!daemon.Start()) {
    daemon.Printer().Print("Horavex", "Niets gestart. Zet in het profiel bij een server of client StartUp=1, "
                                      "of kies een vrije poort (zie de meldingen hierboven).");
    return 1;
  }
  daemon.Run();
  return 0;
}

}  // namespace horavex
