#include "client/client_settings.h"

#include <gtest/gtest.h>

#include <fstream>

#include "common/profile.h"
#include "support/temp_dir.h"

namespace horavex::testing {
namespace {

TEST(ClientSettings, DefaultsOutOfListValuesAndSaving) {
  TempDir dir;
  std::ofstream(dir.File("horavex.ini")) << "[time client udp]\ninterval=7\nwarnlevel=9\nMaxOffset=12\nStartUp=1\n"
                                            "Port=70000\n[SNTP CLIENT UDP]\nInterval=1440\nServer=127.0.0.1\n";
  Profile profile(dir.File("horavex.ini"));
  const unsigned ports[] = {37, 37, 13, 13, 123};
  for (ClientKind kind : {ClientKind::TimeTcp, ClientKind::DaytimeTcp, ClientKind::DaytimeUdp}) {
    const ClientSettings s = ClientSettings::Load(profile, kind);
    EXPECT_EQ(std::tie(s.m_nWarnLevel, s.m_nMaxOffsetIndex, s.m_nPort, s.m_strServer, s.m_bStartUp, s.m_nIntervalIndex),
              std::make_tuple(4, 0, ports[static_cast<int>(kind)], std::string(kDefaultServer), false, 5));
  }
  ClientSettings t = ClientSettings::Load(profile, ClientKind::TimeUdp);
  EXPECT_EQ(std::tie(t.m_nWarnLevel, t.m_nMaxOffsetIndex, t.m_nPort, t.m_bStartUp, t.m_nIntervalIndex),
            std::make_tuple(9, 12, 70000u, true, 5)) << "kept as written; 7 minutes is not in the list: 1 uur";
  EXPECT_EQ(ClientSettings::Load(profile, ClientKind::SntpUdp).m_nIntervalIndex, 10);

  t.m_strServer = "time.example";
  ASSERT_TRUE(t.Save(profile, ClientKind::TimeUdp));
  EXPECT_EQ(profile.GetInt("TIME CLIENT UDP", "Interval", 0), 60) << "an unknown interval is saved as 60";
  const ClientSettings back = ClientSettings::Load(profile, ClientKind::TimeUdp);
  EXPECT_EQ(std::tie(back.m_strServer, back.m_nPort, back.m_nWarnLevel), std::tie(t.m_strServer, t.m_nPort, t.m_nWarnLevel));
}

TEST(ClientSettings, IntervalWarningAndMaximumCorrectionRules) {
  const int minutes[] = {1, 5, 10, 15, 30, 60, 120, 240, 360, 720, 1440};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(IntervalIndexFromMinutes(IntervalMinutesFromIndex(i)), i);
  EXPECT_EQ(IntervalMinutesFromIndex(10), minutes[10]);
  for (int bad : {-1, 11}) EXPECT_EQ(IntervalMinutesFromIndex(bad), 60);
  for (int bad : {0, 7, 1441}) EXPECT_EQ(IntervalIndexFromMinutes(bad), 5);

  //                 failures n = 1 2 3 4 5 6, per level 0-4 and two out of the list
  const char* boxes[] = {"000000", "100000", "011111", "000011", "111111", "000000", "000000"};
  for (int level = 0; level < 7; ++level)
    for (int n = 1; n <= 6; ++n)
      EXPECT_EQ(ShouldWarn(n, level == 6 ? -1 : level), boxes[level][n - 1] == '1') << level << "/" << n;

  const std::int64_t now = 1'700'000'000;
  for (const auto& [delta, index, refused] : {std::tuple{4, 1, 0}, {-5, 1, 5}, {5, 1, 5}, {43199, 11, 0},
                                              {-43200, 11, 43200}, {1'000'000, 0, 0}, {1'000'000, 12, 0}})
    EXPECT_EQ(CheckMaxOffset(now, static_cast<std::int32_t>(now + delta), index), refused) << delta << "/" << index;
  EXPECT_EQ(CheckMaxOffset(0, INT32_MAX, 1), INT32_MAX) << "a 2036 answer against 1970 does not overflow";
}

}  // namespace
}  // namespace horavex::testing
