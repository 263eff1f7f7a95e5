#include "client/client_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/profile.h"

namespace horavex {
namespace {

class ProfileFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("horavex-settings-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path Write(const std::string& text) {
    const auto path = dir_ / "horavex.ini";
    std::ofstream(path) << text;
    return path;
  }
  std::filesystem::path dir_;
};

TEST_F(ProfileFile, EmptyProfileGivesTheDefaultsOfEachKind) {
  Profile profile(Write(""));
  const unsigned ports[] = {37, 37, 13, 13, 123};
  for (int k = 0; k < kClientKindCount; ++k) {
    const ClientSettings s = ClientSettings::Load(profile, static_cast<ClientKind>(k));
    EXPECT_EQ(s.m_nWarnLevel, 4);
    EXPECT_EQ(s.m_nMaxOffsetIndex, 0);
    EXPECT_EQ(s.m_nPort, ports[k]);
    EXPECT_EQ(s.m_strServer, kDefaultServer);
    EXPECT_FALSE(s.m_bStartUp);
    EXPECT_EQ(s.m_nIntervalIndex, 5);
  }
}

TEST_F(ProfileFile, OutOfListValuesAreKeptOrMappedAsTheWindowShowsThem) {
  Profile profile(Write("[time client udp]\ninterval=7\nwarnlevel=9\nMaxOffset=12\nStartUp=1\nPort=70000\n"
                        "[SNTP CLIENT UDP]\nInterval=1440\nServer=127.0.0.1\n"));
  const ClientSettings t = ClientSettings::Load(profile, ClientKind::TimeUdp);
  EXPECT_EQ(t.m_nIntervalIndex, 5) << "7 minutes is not in the list: 1 uur";
  EXPECT_EQ(IntervalMinutesFromIndex(t.m_nIntervalIndex), 60);
  EXPECT_EQ(t.m_nWarnLevel, 9);
  EXPECT_FALSE(ShouldWarn(1, t.m_nWarnLevel));
  EXPECT_EQ(CheckMaxOffset(0, 1000000, t.m_nMaxOffsetIndex), 0);
  EXPECT_TRUE(t.m_bStartUp);
  EXPECT_EQ(t.m_nPort, 70000u) << "kept as typed; the request refuses it";

  const ClientSettings s = ClientSettings::Load(profile, ClientKind::SntpUdp);
  EXPECT_EQ(s.m_nIntervalIndex, 10);
  EXPECT_EQ(s.m_strServer, "127.0.0.1");
}

TEST_F(ProfileFile, SaveWritesMinutesAndReadsBackTheSame) {
  Profile profile(Write("[DAYTIME CLIENT TCP]\nInterval=7\n"));
  ClientSettings s = ClientSettings::Load(profile, ClientKind::DaytimeTcp);
  s.m_strServer = "time.example";
  s.m_nPort = 1313;
  s.m_nMaxOffsetIndex = 3;
  s.m_nWarnLevel = 2;
  s.m_bStartUp = true;
  ASSERT_TRUE(s.Save(profile, ClientKind::DaytimeTcp));
  EXPECT_EQ(profile.GetInt("DAYTIME CLIENT TCP", "Interval", 0), 60) << "an unknown interval is saved as 60";
  const ClientSettings back = ClientSettings::Load(profile, ClientKind::DaytimeTcp);
  EXPECT_EQ(back.m_strServer, "time.example");
  EXPECT_EQ(back.m_nPort, 1313u);
  EXPECT_EQ(back.m_nMaxOffsetIndex, 3);
  EXPECT_EQ(back.m_nWarnLevel, 2);
  EXPECT_TRUE(back.m_bStartUp);
  EXPECT_EQ(ClientSettings::Load(profile, ClientKind::DaytimeUdp).m_strServer, kDefaultServer)
      << "other sections untouched";
}

TEST(Interval, IndexAndMinutesMapBothWays) {
  const int minutes[] = {1, 5, 10, 15, 30, 60, 120, 240, 360, 720, 1440};
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(IntervalMinutesFromIndex(i), minutes[i]);
    EXPECT_EQ(IntervalIndexFromMinutes(minutes[i]), i);
  }
  for (int bad : {-1, 11, 1000}) EXPECT_EQ(IntervalMinutesFromIndex(bad), 60);
  for (int bad : {0, 7, -5, 1441}) EXPECT_EQ(IntervalIndexFromMinutes(bad), 5);
}

TEST(WarnLevel, WhichFailuresShowABox) {
  //                     n = 1      2      3      4      5      6
  const bool table[5][6] = {{false, false, false, false, false, false},
                            {true, false, false, false, false, false},
                            {false, true, true, true, true, true},
                            {false, false, false, false, true, true},
                            {true, true, true, true, true, true}};
  for (int level = 0; level < 5; ++level)
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(ShouldWarn(n, level), table[level][n - 1]) << level << "/" << n;
  EXPECT_FALSE(ShouldWarn(3, -1));
  EXPECT_FALSE(ShouldWarn(3, 5));
}

TEST(MaxOffset, TheLimitItselfIsRefused) {
  const std::int64_t now = 1'700'000'000;
  const auto at = [&](std::int64_t delta) { return static_cast<std::int32_t>(now + delta); };
  EXPECT_EQ(CheckMaxOffset(now, at(4), 1), 0);
  EXPECT_EQ(CheckMaxOffset(now, at(-4), 1), 0);
  EXPECT_EQ(CheckMaxOffset(now, at(5), 1), 5);
  EXPECT_EQ(CheckMaxOffset(now, at(-5), 1), 5);
  EXPECT_EQ(CheckMaxOffset(now, at(43199), 11), 0);
  EXPECT_EQ(CheckMaxOffset(now, at(-43200), 11), 43200);
  EXPECT_EQ(CheckMaxOffset(now, at(1'000'000), 0), 0) << "no maximum";
  EXPECT_EQ(CheckMaxOffset(now, at(1'000'000), 12), 0) << "unknown index: no maximum";
  // The 2036 answer of a broken server against a clock in 1970: the difference does not overflow.
  EXPECT_EQ(CheckMaxOffset(0, INT32_MAX, 1), INT32_MAX);
  EXPECT_EQ(CheckMaxOffset(INT32_MAX, 0, 1), INT32_MAX);
}

}  // namespace
}  // namespace horavex
