#include "cli/daemon.h"

#include <array>
#include <csignal>
#include <memory>
#include <ostream>

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <asio/steady_timer.hpp>

#include "cli/daemon_views.h"
#include "client/time_client.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "platform/clock.h"
#include "platform/simulated_clock.h"
#include "server/time_server.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;

// Everything horavexd runs, in the order the windowed program makes it: servers, then clients.
class Daemon {
 public:
  Daemon(const DaemonOptions& options, std::ostream& out);
  ~Daemon();
  // Starts what the profile enables; false when nothing runs.
  bool Start();
  // Runs until a stop signal.
  void Run();

 private:
  void Tick();
  void Stop();
  std::unique_ptr<Clock> MakeClock(bool dryRun);

  asio::io_context io_;
  LinePrinter printer_;
  Profile profile_;
  std::unique_ptr<Clock> clock_;
  DialupService dialup_;
  LastSyncTexts lastSync_;
  std::string lastSyncShown_;
  std::vector<std::unique_ptr<PrintingServerView>> serverViews_;
  std::vector<std::unique_ptr<TimeServer>> servers_;
  std::vector<std::unique_ptr<PrintingClientView>> clientViews_;
  std::vector<std::unique_ptr<TimeClient>> clients_;
  std::vector<std::string> statusShown_;
  asio::steady_timer tick_{io_};
  asio::signal_set signals_{io_, SIGINT, SIGTERM};
};

Daemon::Daemon(const DaemonOptions& options, std::ostream& out)
    : printer_(out),
      profile_(options.profile.value_or(Profile::DefaultPath("horavex"))),
      clock_(MakeClock(options.dryRun)),
      dialup_(MakeSystemDialupPort()) {
  const Executors executors{io_.get_executor(), io_.get_executor()};
  for (int k = 0; k < kServerKindCount; ++k) {
    const auto kind = static_cast<ServerKind>(k);
    serverViews_.push_back(std::make_unique<PrintingServerView>(printer_, std::string(InfoOf(kind).title)));
    servers_.push_back(std::make_unique<TimeServer>(kind, profile_, executors, *serverViews_.back(), options.bindAddress));
  }
  for (int k = 0; k < kClientKindCount; ++k) {
    const auto kind = static_cast<ClientKind>(k);
    clientViews_.push_back(std::make_unique<PrintingClientView>(printer_, std::string(InfoOf(kind).title)));
    clients_.push_back(std::make_unique<TimeClient>(
        kind, ClientServices{executors, profile_, *clock_, dialup_}, *clientViews_.back()));
    clients_.back()->SetLastSyncTexts(&lastSync_);
  }
  statusShown_.resize(servers_.size() + clients_.size());
}

Daemon::~Daemon() {
  // Clients and servers go before the dial-up service and the io_context they use.
  clients_.clear();
  servers_.clear();
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
  signals_.async_wait([this](std::error_code ec, int) {
    if (!ec) Stop();
  });
  Tick();
  io_.run();
}

void Daemon::Tick() {
  // What the dashboard's tick shows, printed when it changes.
  std::size_t i = 0;
  const auto show = [&](std::string_view title, std::string status) {
    if (status != statusShown_[i]) printer_.Print(std::string(title), "status: " + status);
    statusShown_[i++] = std::move(status);
  };
  for (auto& s : servers_) show(s->Title(), s->GetStatusText());
  for (auto& c : clients_) show(c->Title(), c->GetStatusText());
  const std::string sync = lastSync_.m_szLastSyncBy + " " + lastSync_.m_szLastSyncAt;
  if (!lastSync_.m_szLastSyncBy.empty() && sync != lastSyncShown_)
    printer_.Print("Horavex", "laatste synchronisatie: " + sync);
  lastSyncShown_ = sync;
  tick_.expires_after(1s);
  tick_.async_wait([this](std::error_code ec) {
    if (!ec) Tick();
  });
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
         "  en meldt hun status op de standaarduitvoer. Stopt bij SIGINT of SIGTERM.\n"
         "  --profile   het profiel (standaard dat van Horavex)\n"
         "  --dry-run   de clients zetten de klok niet, maar melden wat ze zouden zetten\n"
         "  --bind      de servers luisteren alleen op dit IPv4-adres\n";
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
      if (ec) return {std::nullopt, "Ongeldig IPv4-adres: " + args[i] + "\n" + DaemonUsage()};
    } else {
      return {std::nullopt, "Onbekend argument: " + a + "\n" + DaemonUsage()};
    }
  }
  return {o, {}};
}

int RunDaemon(const DaemonOptions& options, std::ostream& out) {
  Daemon daemon(options, out);
  if (!daemon.Start()) {
    out << "horavexd: niets gestart. Zet in het profiel bij een server of client StartUp=1, "
           "of kies een vrije poort (zie de meldingen hierboven)."
        << std::endl;
    return 1;
  }
  daemon.Run();
  return 0;
}

}  // namespace horavex
