#include "app/dashboard.h"

#include "client/client_settings.h"
#include "protocol/window_texts.h"

namespace horavex {

DashboardModel::DashboardModel(std::array<StatusSource, kServerKindCount> servers,
                               std::array<StatusSource, kClientKindCount> clients, SecondsSource now)
    : m_servers(std::move(servers)), m_clients(std::move(clients)), m_now(std::move(now)) {}

void DashboardModel::OnLastSync(ClientKind kind, std::int64_t lastSync) {
  m_lastSync.m_lastSyncBy = InfoOf(kind).lastSyncLabel;
  m_lastSync.m_lastSyncAt = FormatClockTime(lastSync);
}

std::vector<DashboardChange> DashboardModel::Tick() {
  std::vector<DashboardChange> fields;
  for (std::size_t i = 0; i < m_servers.size(); ++i) fields.push_back({kServerKinds[i], m_servers[i]()});
  for (std::size_t i = 0; i < m_clients.size(); ++i) fields.push_back({kClientKinds[i], m_clients[i]()});
  if (m_now) {
    const std::int64_t now = m_now();
    fields.push_back({ClockField::Time, FormatClockTime(now)});
    fields.push_back({ClockField::Date, FormatShortDate(now)});
  }
  fields.push_back({LastSyncField::By, m_lastSync.m_lastSyncBy});
  fields.push_back({LastSyncField::At, m_lastSync.m_lastSyncAt});
  // Before the first tick nothing is shown, so every field counts as changed.
  const bool first = m_shown.empty();
  m_shown.resize(fields.size());
  std::vector<DashboardChange> changed;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!first && fields[i].text == m_shown[i]) continue;
    m_shown[i] = fields[i].text;
    changed.push_back(std::move(fields[i]));
  }
  return changed;
}

}  // namespace horavex
