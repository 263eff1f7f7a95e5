#include "app/dashboard.h"

#include "client/client_settings.h"
#include "protocol/window_texts.h"

namespace horavex {

DashboardModel::DashboardModel(std::array<StatusSource, kServerKindCount> servers,
                               std::array<StatusSource, kClientKindCount> clients, SecondsSource now)
    : servers_(std::move(servers)), clients_(std::move(clients)), now_(std::move(now)) {}

void DashboardModel::OnLastSync(ClientKind kind, std::int64_t lastSync) {
  lastSync_.m_szLastSyncBy = InfoOf(kind).lastSyncLabel;
  lastSync_.m_szLastSyncAt = FormatClockTime(lastSync);
}

std::vector<DashboardChange> DashboardModel::Tick() {
  std::vector<DashboardChange> fields;
  for (std::size_t i = 0; i < servers_.size(); ++i) fields.push_back({kServerKinds[i], servers_[i]()});
  for (std::size_t i = 0; i < clients_.size(); ++i) fields.push_back({kClientKinds[i], clients_[i]()});
  if (now_) {
    const std::int64_t now = now_();
    fields.push_back({ClockField::Time, FormatClockTime(now)});
    fields.push_back({ClockField::Date, FormatShortDate(now)});
  }
  fields.push_back({LastSyncField::By, lastSync_.m_szLastSyncBy});
  fields.push_back({LastSyncField::At, lastSync_.m_szLastSyncAt});
  // Before the first tick nothing is shown, so every field counts as changed.
  const bool first = shown_.empty();
  shown_.resize(fields.size());
  std::vector<DashboardChange> changed;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!first && fields[i].text == shown_[i]) continue;
    shown_[i] = fields[i].text;
    changed.push_back(std::move(fields[i]));
  }
  return changed;
}

}  // namespace horavex
