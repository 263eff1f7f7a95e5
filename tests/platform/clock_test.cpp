#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/simulated_clock.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;

using U16 = std::uint16_t;
SystemTime Make(U16 y, U16 mo, U16 d, U16 h = 0, U16 mi = 0, U16 s = 0, U16 ms = 0) {
  return {.wYear = y, .wMonth = mo, .wDay = d, .wHour = h, .wMinute = mi, .wSecond = s, .wMilliseconds = ms};
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
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(IsValidSystemTime(cases[i].t), cases[i].valid) << i;
}

// The dry run's clock: what later readings show after a set, and after a refused one.
TEST(SimulatedClockTest, ASetMovesLaterReadingsAndARefusedOneChangesNothing) {
  ManualTimeSource source(1'700'000'000'250);
  SimulatedClock clock(source.Source());
  clock.FailSetsWith(EPERM);
  EXPECT_EQ(clock.SetSystemTime(Make(2030, 1, 1)), EPERM);
  clock.FailSetsWith(0);
  EXPECT_EQ(clock.SetSystemTime(Make(2030, 13, 1)), EINVAL);
  EXPECT_EQ(clock.GetSystemTime(), SystemTimeFromUnix(1'700'000'000, 250));
  const SystemTime target = Make(2030, 6, 1, 12, 0, 0, 500);
  EXPECT_EQ(clock.SetSystemTime(target), 0);
  source.Advance(1'600ms);  // time goes on from the time set
  EXPECT_EQ(clock.GetSystemTime(), SystemTimeFromUnix(UnixFromSystemTime(target) + 2, 100));
  EXPECT_EQ(clock.LastSet(), target);
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
