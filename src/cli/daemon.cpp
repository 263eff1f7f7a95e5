#include "cli/daemon.h"

#include <csignal>

#include "common/language.h"
#include "platform/clock.h"
#include "platform/dialup_port.h"
#include "platform/simulated_clock.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;

// How often horavexd looks at the dashboard; a log needs no 150 ms refresh.
constexpr auto kTickPeriod = 1s;

// How long a stop waits for the requests of the clients it released.
constexpr auto kRequestsEndBound = 1s;

// An address of this machine for the servers: IPv4 or IPv6, an IPv4-mapped one taken as the IPv4
// address it carries. A group or broadcast address would take datagrams meant for others and
// answer from an address that is not ours.
std::optional<asio::ip::address> ParseBindAddress(const std::string& text) {
  std::error_code ec;
  asio::ip::address address = asio::ip::make_address(text, ec);
  if (ec || address.is_multicast()) return std::nullopt;
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
  if (address.is_v4() && address.to_v4() == asio::ip::address_v4::broadcast()) return std::nullopt;
  return address;
}

}  // namespace

Daemon::Daemon(const DaemonOptions& options, int outFd, std::unique_ptr<DialupPort> dialup)
    : m_printer(outFd),
      m_profile(options.profile.value_or(Profile::DefaultPath("horavex"))),
      // A dry run's clock moves as the clients would set the real one, and the servers answer from it.
      m_clock(options.dryRun ? std::make_unique<SimulatedClock>() : MakeSystemClock()),
      m_dialup(std::move(dialup), m_io.get_executor()),
      m_station(ClientServices{m_executors, m_profile, *m_clock, m_dialup, options.dryRun}, nullptr, options.bindAddress) {
  for (ServerKind kind : kServerKinds) {
    auto& view = m_serverViews[static_cast<std::size_t>(kind)];
    view = std::make_unique<PrintingServerView>(m_printer, std::string(InfoOf(kind).title));
    m_station.AttachServerView(kind, view.get());
  }
  for (ClientKind kind : kClientKinds) {
    auto& view = m_clientViews[static_cast<std::size_t>(kind)];
    view = std::make_unique<PrintingClientView>(m_printer, std::string(InfoOf(kind).title));
    m_station.AttachClientView(kind, view.get());
  }
}

// The station's clients and servers go before the dial-up service and the io_context they use.
Daemon::~Daemon() = default;

bool Daemon::Start() {
  m_printer.Print("Horavex", Tr("Profiel: ") + m_profile.Path().string());
  if (const std::string problem = m_profile.ReadProblem(); !problem.empty()) m_printer.Print("Horavex", problem);
  m_station.Start();
  return m_station.AnyRunning();
}

void Daemon::Run() {
  m_stopSignals.async_wait([this](std::error_code ec, int) {
    if (!ec) Stop();
  });
  WaitForReload();
  Tick();
  m_io.run();
}

void Daemon::Tick() {
  bool lastSyncChanged = false;
  for (const DashboardChange& change : m_station.Tick()) {
    if (const auto* server = std::get_if<ServerKind>(&change.field))
      m_printer.Print(std::string(InfoOf(*server).title), Tr("status: ") + change.text);
    else if (const auto* client = std::get_if<ClientKind>(&change.field))
      m_printer.Print(std::string(InfoOf(*client).title), Tr("status: ") + change.text);
    else if (std::holds_alternative<LastSyncField>(change.field))
      lastSyncChanged = true;
  }
  // One line for both texts, whichever of them changed.
  if (lastSyncChanged) m_printer.Print("Horavex", Tr("laatste synchronisatie: ") + m_station.LastSyncText());
  m_tick.expires_after(kTickPeriod);
  m_tick.async_wait([this](std::error_code ec) {
    // A tick already on its way when the stop came would show the released clients as gone.
    if (!ec && !m_stopping) Tick();
  });
}

void Daemon::WaitForReload() {
  m_reloadSignal.async_wait([this](std::error_code ec, int) {
    if (ec) return;
    Reload();
    WaitForReload();
  });
}

void Daemon::Reload() {
  if (const std::string problem = m_station.ReloadProblem(); !problem.empty()) {
    m_printer.Print("Horavex", "SIGHUP: " + problem + Tr("; alles blijft draaien zoals het was"));
    return;
  }
  m_printer.Print("Horavex", Tr("SIGHUP: profiel opnieuw gelezen"));
  m_station.Reload();
}

void Daemon::Stop() {
  m_printer.Print("Horavex", Tr("Stoppen"));
  m_stopping = true;
  m_station.Stop();
  m_tick.cancel();
  std::error_code ignored;
  m_stopSignals.cancel(ignored);
  m_reloadSignal.cancel(ignored);
  StopWhenRequestsEnded(std::chrono::steady_clock::now() + kRequestsEndBound);
}

void Daemon::StopWhenRequestsEnded(std::chrono::steady_clock::time_point deadline) {
  // A request left waiting would be destroyed half-way with the io_context.
  if (TimeClient::RunningRequests() == 0 || std::chrono::steady_clock::now() >= deadline) return m_io.stop();
  m_drain.expires_after(10ms);
  m_drain.async_wait([this, deadline](std::error_code) { StopWhenRequestsEnded(deadline); });
}

std::string DaemonUsage() {
  return Tr("Gebruik: horavexd [--profile PAD] [--dry-run] [--bind ADRES]\n"
         "  Start de servers en clients die in het profiel aan staan, zonder vensters,\n"
         "  en meldt hun status op de standaarduitvoer. Stopt bij SIGINT of SIGTERM;\n"
         "  SIGHUP leest het profiel opnieuw en herstart wat veranderd is.\n"
         "  --profile   het profiel (standaard dat van Horavex)\n"
         "  --dry-run   zet de klok niet: een client meldt welke tijd hij zou zetten en met\n"
         "              welke correctie, en zet alleen een gesimuleerde klok; de servers\n"
         "              antwoorden dan met de tijd van die gesimuleerde klok\n"
         "  --bind      de servers luisteren alleen op dit adres (IPv4 of IPv6); standaard op\n"
         "              alle adressen van beide\n"
         "  --help      toont deze tekst\n"
         "Afsluitstatus: 0 na SIGINT of SIGTERM, 1 niets gestart, 2 verkeerde argumenten.\n");
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
      o.bindAddress = ParseBindAddress(args[++i]);
      if (!o.bindAddress) return {std::nullopt, Tr("Ongeldig adres: ") + args[i] + "\n" + DaemonUsage()};
    } else {
      return {std::nullopt, Tr("Onbekend argument: ") + a + "\n" + DaemonUsage()};
    }
  }
  return {o, {}};
}

int RunDaemon(const DaemonOptions& options, int outFd) {
  // A reader that went away must cost the log, not the servers.
  std::signal(SIGPIPE, SIG_IGN);
  Daemon daemon(options, outFd, MakeSystemDialupPort());
  if (!daemon.Start()) {
    daemon.Printer().Print("Horavex", std::string(Tr("Niets gestart. Zet in het profiel bij een server of client StartUp=1, ")) +
                                          Tr("of kies een vrije poort (zie de meldingen hierboven)."));
    return 1;
  }
  daemon.Run();
  return 0;
}

}  // namespace horavex
