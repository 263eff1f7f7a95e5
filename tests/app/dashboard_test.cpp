// The dashboard's refresh: which texts a tick gives, and what a client's success shows.
#include "app/dashboard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace horavex {

void PrintTo(const DashboardChange& c, std::ostream* os) { *os << c.field.index() << ":" << c.text; }

namespace {

TEST(Dashboard, TheFirstTickGivesEveryTextThenOnlyWhatChangedInTheDashboardsOrder) {
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
  std::array<std::string, kServerKindCount> servers{"disabled", "0", "disabled", "disabled"};
  std::array<std::string, kClientKindCount> clients{"Disabled", "Disabled", "Disabled", "Disabled", "0"};
  std::array<DashboardModel::StatusSource, kServerKindCount> serverSources;
  std::array<DashboardModel::StatusSource, kClientKindCount> clientSources;
  for (std::size_t i = 0; i < servers.size(); ++i) serverSources[i] = [&, i] { return servers[i]; };
  for (std::size_t i = 0; i < clients.size(); ++i) clientSources[i] = [&, i] { return clients[i]; };
  DashboardModel model(serverSources, clientSources);

  const auto first = model.Tick();
  ASSERT_EQ(first.size(), 11u);
  EXPECT_EQ((std::vector<DashboardChange>{first[1], first[8], first[9], first[10]}),
            (std::vector<DashboardChange>{{ServerKind::TimeUdp, "0"}, {ClientKind::SntpUdp, "0"},
                                          {LastSyncField::By, "..."}, {LastSyncField::At, "Nog Niet"}}));
  EXPECT_TRUE(model.Tick().empty());

  servers[3] = "1";
  clients[4] = "-BUSY-";
  model.OnLastSync(ClientKind::SntpUdp, 1041379200);  // 2003-01-01 00:00:00 UTC
  EXPECT_EQ(model.Tick(), (std::vector<DashboardChange>{{ServerKind::DaytimeUdp, "1"}, {ClientKind::SntpUdp, "-BUSY-"},
                                                        {LastSyncField::By, "SNTP"}, {LastSyncField::At, "01:00:00"}}));
  // Another success of another client in the same second changes only by whom.
  model.OnLastSync(ClientKind::TimeTcp, 1041379200);
  EXPECT_EQ(model.Tick(), (std::vector<DashboardChange>{{LastSyncField::By, "TmTcp"}}));
}

}  // namespace
}  // namespace horavex
