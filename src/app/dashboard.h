// The dashboard as logic: the status texts of the four servers and five clients and the two
// last-synchronisation texts, refreshed by a tick that says which texts changed. The main window
// and horavexd both drive it; neither the texts nor the comparison depend on a toolkit.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "common/language.h"
#include "protocol/kinds.h"

namespace horavex {

// Which client last synchronised the clock, and when (local time, HH:MM:SS).
struct LastSyncTexts {
  std::string m_lastSyncBy = "...";
  std::string m_lastSyncAt = Tr("Nog Niet");
};

// The two last-synchronisation texts as dashboard fields.
enum class LastSyncField { By, At };
// The local time (HH:MM:SS) and date (MM/DD/YY) the main window shows.
enum class ClockField { Time, Date };
// One field of the dashboard: a server's status, a client's status, the clock or a last-sync text.
using DashboardField = std::variant<ServerKind, ClientKind, ClockField, LastSyncField>;

struct DashboardChange {
  DashboardField field;
  std::string text;
  bool operator==(const DashboardChange&) const = default;
};

class DashboardModel {
 public:
  // The main window's refresh period: a new second shows within it.
  static constexpr std::chrono::milliseconds kTickPeriod{150};
  // Gives the current status text of one server or client.
  using StatusSource = std::function<std::string()>;
  // Gives the time to show, in seconds since 1970 (UTC).
  using SecondsSource = std::function<std::int64_t()>;

  // Sources in the order of kServerKinds and kClientKinds. With `now`, the local time and date
  // are fields too, after the clients.
  DashboardModel(std::array<StatusSource, kServerKindCount> servers,
                 std::array<StatusSource, kClientKindCount> clients, SecondsSource now = {});

  // A client's success (its observer): remembers its label and the local time of `lastSync`.
  void OnLastSync(ClientKind kind, std::int64_t lastSync);
  // Reads every text and returns those that differ from the previous tick, in the dashboard's
  // order: servers, clients, time, date, then by whom and when. The first tick returns them all.
  std::vector<DashboardChange> Tick();
  // The texts as the last sync left them.
  const LastSyncTexts& LastSync() const { return m_lastSync; }

 private:
  std::array<StatusSource, kServerKindCount> m_servers;
  std::array<StatusSource, kClientKindCount> m_clients;
  SecondsSource m_now;
  LastSyncTexts m_lastSync;
  std::vector<std::string> m_shown;  // what the previous tick gave, per field; empty before it
};

}  // namespace horavex
