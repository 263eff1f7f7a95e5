#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/simulated_clock.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;

SystemTime Make(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  SystemTime t;
  t.wYear = static_cast<std::uint16_t>(y);
  t.wMonth = static_cast<std::uint16_t>(mo);
  t.wDay = static_cast<std::uint16_t>(d);
  t.wHour = static_cast<std::uint16_t>(h);
  t.wMinute = static_cast<std::uint16_t>(mi);
  t.wSecond = static_cast<std::uint16_t>(s);
  t.wMilliseconds = static_cast<std::uint16_t>(ms);
  return t;
}

TEST(ClockTest, ValidTimesAreThoseASystemTimeAllows) {
  const struct {
    SystemTime t;
    bool valid;
  } cases[] = {
      {Make(2024, 2, 29, 23, 59, 59, 999), true}, {Make(2023, 2, 29), false}, {Make(2000, 2, 29), true},
      {Make(1900, 2, 29), false},                 {Make(2024, 13, 1), false}, {Make(2024, 0, 1), false},
      {Make(2024, 4, 31), false},                 {Make(2024, 1, 0), false},  {Make(2024, 1, 1, 24), false},
      {Make(2024, 1, 1, 0, 60), false},           {Make(2024, 1, 1, 0, 0, 60), false},
      {Make(2024, 1, 1, 0, 0, 0, 1000), false},   {Make(1601, 1, 1), true},   {Make(1600, 12, 31), false},
      {Make(30827, 12, 31), true},                {Make(30828, 1, 1), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsValidSystemTime(c.t), c.valid) << c.t.wYear << "-" << c.t.wMonth << "-" << c.t.wDay << " "
                                               << c.t.wHour << ":" << c.t.wMinute << ":" << c.t.wSecond << "."
                                               << c.t.wMilliseconds;
}

TEST(SimulatedClockTest, ASetMovesLaterReadingsAndIsRecorded) {
  ManualTimeSource source(1'700'000'000'250);  // 2023-11-14 22:13:20.250 UTC, a Tuesday
  SimulatedClock clock(source.Source());
  EXPECT_EQ(clock.Time(), 1'700'000'000);
  EXPECT_EQ(clock.GetSystemTime(), SystemTimeFromUnix(1'700'000'000, 250));
  EXPECT_EQ(clock.GetSystemTime().wDayOfWeek, 2);

  std::vector<SystemTime> seen;
  clock.SetObserver([&](const SystemTime& t) { seen.push_back(t); });
  const SystemTime target = Make(2030, 6, 1, 12, 0, 0, 500);
  EXPECT_EQ(clock.SetSystemTime(target), 0);
  EXPECT_EQ(clock.SetCount(), 1);
  EXPECT_EQ(clock.LastSet(), target);
  EXPECT_EQ(seen, std::vector<SystemTime>{target});

  source.Advance(1'600ms);  // time goes on from the time set
  EXPECT_EQ(clock.Time(), UnixFromSystemTime(target) + 2);
  EXPECT_EQ(clock.GetSystemTime().wMilliseconds, 100);
  EXPECT_EQ(clock.GetSystemTime().wDayOfWeek, 6);  // 2030-06-01 is a Saturday
}

TEST(SimulatedClockTest, RefusedSetsChangeNothing) {
  ManualTimeSource source(1'000'000'000'000);
  SimulatedClock clock(source.Source());
  int observed = 0;
  clock.SetObserver([&](const SystemTime&) { ++observed; });
  clock.FailSetsWith(EPERM);
  EXPECT_EQ(clock.SetSystemTime(Make(2030, 1, 1)), EPERM);
  clock.FailSetsWith(0);
  EXPECT_EQ(clock.SetSystemTime(Make(2030, 13, 1)), EINVAL);
  EXPECT_EQ(clock.SetCount(), 0);
  EXPECT_EQ(clock.LastSet(), std::nullopt);
  EXPECT_EQ(clock.Offset(), 0ms);
  EXPECT_EQ(observed, 0);
  EXPECT_EQ(clock.Time(), 1'000'000'000);
}

TEST(SimulatedClockTest, ByDefaultFollowsTheRealClock) {
  SimulatedClock clock;
  EXPECT_LE(std::llabs(clock.Time() - static_cast<long long>(std::time(nullptr))), 2);
}

TEST(SystemClockTest, ReadsTheCurrentUtcTime) {
  auto clock = MakeSystemClock();
  const std::time_t before = std::time(nullptr);
  const SystemTime now = clock->GetSystemTime();
  const std::int64_t seconds = clock->Time();
  const std::time_t after = std::time(nullptr);
  EXPECT_GE(seconds, before);
  EXPECT_LE(seconds, after);
  const std::int64_t read = UnixFromSystemTime(now);
  EXPECT_GE(read, before);
  EXPECT_LE(read, after);
  std::tm utc{};
  const std::time_t at = static_cast<std::time_t>(read);
  gmtime_r(&at, &utc);
  EXPECT_EQ(now.wDayOfWeek, utc.tm_wday);
  EXPECT_LT(now.wMilliseconds, 1000);
}

// Whether this process could set the clock: then the helper has to run with the right dropped.
bool HoldsSysTime() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) return true;
  return (data[CAP_SYS_TIME / 32].effective & (1u << (CAP_SYS_TIME % 32))) != 0;
}

std::string FindCapsh() {
  for (const char* p : {"/usr/sbin/capsh", "/sbin/capsh", "/usr/bin/capsh", "/bin/capsh"})
    if (access(p, X_OK) == 0) return p;
  return {};
}

// The helper's output, run without CAP_SYS_TIME: through capsh when this process holds it.
std::string RunHelper(const std::string& capsh, const std::string& argument) {
  const std::string helper = std::string("'") + HORAVEX_CLOCK_HELPER + "' " + argument;
  const std::string command =
      capsh.empty() ? helper : capsh + " --drop=cap_sys_time -- -c \"" + helper + "\"";
  std::string out;
  if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  return out;
}

TEST(SystemClockTest, SettingWithoutTheRightIsRefusedWithEperm) {
  std::string capsh;
  if (HoldsSysTime()) {
    capsh = FindCapsh();
    if (capsh.empty()) GTEST_SKIP() << "capsh (Debian package libcap2-bin) is needed to drop CAP_SYS_TIME";
  }
  EXPECT_EQ(RunHelper(capsh, "--check-only"), "cap_sys_time absent\n");
  EXPECT_EQ(RunHelper(capsh, ""), "errno 1\n");
  // The kernel would say EPERM too: EINVAL shows that an invalid time never reached it.
  EXPECT_EQ(RunHelper(capsh, "--invalid"), "errno 22\n");
}

TEST(SystemClockTest, TheHelperSeesTheRightWhenItIsThere) {
  if (!HoldsSysTime()) GTEST_SKIP() << "this process does not hold CAP_SYS_TIME";
  EXPECT_EQ(RunHelper("", "--check-only"), "cap_sys_time held\n");
}

}  // namespace
}  // namespace horavex
