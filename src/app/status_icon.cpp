#include "app/status_icon.h"

#include <algorithm>
#include <variant>

namespace horavex {

bool StatusIconModel::OnChange(const DashboardChange& change) {
  const std::string title = Title();
  const bool attention = Attention();
  if (const auto* client = std::get_if<ClientKind>(&change.field))
    m_stopped[static_cast<std::size_t>(*client)] = change.text == "Err:Stop";
  else if (const auto* sync = std::get_if<LastSyncField>(&change.field))
    (*sync == LastSyncField::By ? m_lastSync.m_lastSyncBy : m_lastSync.m_lastSyncAt) = change.text;
  return title != Title() || attention != Attention();
}

std::string StatusIconModel::Title() const {
  const LastSyncTexts never;
  // The client is named only with a time: before any synchronisation it is "...".
  if (m_lastSync.m_lastSyncAt == never.m_lastSyncAt) return Tr("Laatste synchronisatie ") + never.m_lastSyncAt;
  return Tr("Laatste synchronisatie ") + m_lastSync.m_lastSyncAt + " (" + m_lastSync.m_lastSyncBy + ")";
}

bool StatusIconModel::Attention() const { return std::ranges::any_of(m_stopped, [](bool stopped) { return stopped; }); }

}  // namespace horavex
