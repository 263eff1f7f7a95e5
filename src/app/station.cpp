#include "app/station.h"

#include <filesystem>

#include "common/language.h"
#include "common/profile.h"
#include "platform/clock.h"

namespace horavex {
namespace {

// Whether the profile holds any key of a server's or a client's section.
bool NamesAnyServerOrClientKey(Profile& profile) {
  bool any = false;
  const auto look = [&](std::string_view section, auto settings) {
    const SectionValues values = profile.ReadSection(section);
    decltype(settings)::ForEachKey(settings, [&](std::string_view key, auto&&...) {
      any = any || values.String(key).has_value();
    });
  };
  for (ServerKind kind : kServerKinds) look(InfoOf(kind).section, ServerSettings{});
  for (ClientKind kind : kClientKinds) look(InfoOf(kind).section, ClientSettings{});
  return any;
}

}  // namespace

Station::Station(const ClientServices& services, SoundPlayer* sounds, std::optional<asio::ip::address> bindAddress)
    : m_services(services),
      m_bindAddress(std::move(bindAddress)),
      m_dashboard(
          [this] {
            std::array<DashboardModel::StatusSource, kServerKindCount> sources;
            for (std::size_t i = 0; i < sources.size(); ++i) sources[i] = [this, i] { return m_servers[i]->GetStatusText(); };
            return sources;
          }(),
          [this] {
            std::array<DashboardModel::StatusSource, kClientKindCount> sources;
            for (std::size_t i = 0; i < sources.size(); ++i) sources[i] = [this, i] { return m_clients[i]->GetStatusText(); };
            return sources;
          }(),
          [&clock = services.clock] { return clock.Time(); }) {
  if (sounds) m_chimes.emplace(m_services.profile, *sounds);
  for (ServerKind kind : kServerMakeOrder)
    m_servers[Index(kind)] = std::make_unique<TimeServer>(
        kind, ServerServices{m_services.executors, m_services.profile, m_services.clock}, m_noServerView, m_bindAddress);
  for (ClientKind kind : kClientKinds) MakeClient(kind);
}

Station::~Station() { Stop(); }

void Station::MakeClient(ClientKind kind) {
  auto& slot = m_clients[Index(kind)];
  // The client it replaces is released: a request of it ends in the background, touching nothing.
  slot.reset();
  ClientView* view = m_clientViews[Index(kind)];
  slot = std::make_unique<TimeClient>(kind, m_services, view ? *view : m_noClientView);
  slot->SetLastSyncObserver([this](ClientKind who, std::int64_t at) { m_dashboard.OnLastSync(who, at); });
}

void Station::Start() {
  for (ServerKind kind : kServerKinds) Server(kind).StartIfEnabled();
  for (ClientKind kind : kClientKinds) Client(kind).StartUpIfEnabled();
}

bool Station::AnyRunning() const {
  bool any = false;
  for (const auto& server : m_servers) any = any || (server && server->Running());
  for (const auto& client : m_clients) any = any || (client && client->IsRunning());
  return any;
}

void Station::Stop() {
  m_stopped = true;
  // Clients first: a request may still be on its way to a server of this station.
  for (auto& client : m_clients) client.reset();
  for (auto& server : m_servers) server.reset();
}

void Station::AttachServerView(ServerKind kind, ServerView* view) {
  m_serverViews[Index(kind)] = view;
  if (auto& server = m_servers[Index(kind)]) server->SetView(view);
}

void Station::AttachClientView(ClientKind kind, ClientView* view) {
  m_clientViews[Index(kind)] = view;
  if (auto& client = m_clients[Index(kind)]) client->SetView(view);
}

std::vector<DashboardChange> Station::Tick() {
  if (m_stopped) return {};
  std::vector<DashboardChange> changes = m_dashboard.Tick();
  if (m_chimes)
    for (const DashboardChange& change : changes)
      if (change.field == DashboardField{ClockField::Time}) m_chimes->OnTimeShown(change.text);
  return changes;
}

std::string Station::LastSyncText() const { return LastSync().m_lastSyncBy + " " + LastSync().m_lastSyncAt; }

void Station::SynchroAll() {
  for (const auto& client : m_clients)
    if (client && client->IsRunning()) client->DoSynchro();
}

std::string Station::ReloadProblem() {
  Profile& profile = m_services.profile;
  const std::string path = profile.Path().string();
  if (std::string problem = profile.ReadProblem(); !problem.empty()) {
    // At a start the defaults stand in; here what runs stays, so that part does not hold.
    if (const auto cut = problem.find(Tr("; de standaardinstellingen")); cut != std::string::npos) problem.resize(cut);
    return problem;
  }
  std::error_code ec;
  if (!std::filesystem::exists(profile.Path(), ec)) return Tr("Profiel ") + path + Tr(" bestaat niet (meer)");
  // An editor that writes in place may leave the file empty for a moment; garbage reads as nothing.
  if (!NamesAnyServerOrClientKey(profile)) return Tr("Profiel ") + path + Tr(" noemt geen server en geen client");
  return {};
}

void Station::Reload() {
  if (m_stopped) return;
  ReloadServers();
  for (ClientKind kind : kClientKinds) {
    if (ClientSettings::Load(m_services.profile, kind) == Client(kind).Settings()) continue;
    MakeClient(kind);
    Client(kind).StartUpIfEnabled();
  }
}

void Station::ReloadServers() {
  std::array<std::optional<ServerSettings>, kServerKindCount> changed;
  for (ServerKind kind : kServerKinds) {
    TimeServer& server = Server(kind);
    const ServerSettings saved = ServerSettings::Load(m_services.profile, kind);
    // A server that should run but could not start gets another try.
    if (saved.m_port == server.Port() && saved.m_startUp == server.StartUp() && saved.m_startUp == server.Running())
      continue;
    changed[Index(kind)] = saved;
    server.StopServer();
  }
  // Every port that changes is free before any is bound, so that two servers may swap ports.
  for (ServerKind kind : kServerKinds) {
    if (!changed[Index(kind)]) continue;
    Server(kind).SetPort(changed[Index(kind)]->m_port);
    Server(kind).SetEnabled(changed[Index(kind)]->m_startUp);
  }
}

}  // namespace horavex
