// The system clock's second way, systemd-timedated's SetTime: against dbusmock's timedated on a
// private bus that the mock script starts, from a helper whose CAP_SYS_TIME is dropped so that the
// direct way fails. The real clock is never set: the helper refuses to run while it could.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace horavex {
namespace {

struct Row {
  const char* name;
  const char* scenario;  // timedated_mock.py's
  const char* args;      // the helper's: WAIT_MS CORRECTION_MS [...]
  const char* expected;  // the helper's completions, then the SetTime calls the mock received
};

const Row kRows[] = {
    {"Granted", "accept", "5000 2500", "errno 0 via systemd-timedated\nSetTime 2500 relative=True interactive=True\n"},
    {"GrantedBackwards", "accept", "5000 -1250",
     "errno 0 via systemd-timedated\nSetTime -1250 relative=True interactive=True\n"},
    {"AutomaticSyncOn", "autosync", "5000 2500", "errno 16 via -\nSetTime 2500 relative=True interactive=True\n"},
    {"NotAuthorized", "notauthorized", "5000 2500", "errno 13 via -\nSetTime 2500 relative=True interactive=True\n"},
    {"AccessDenied", "accessdenied", "5000 2500", "errno 13 via -\nSetTime 2500 relative=True interactive=True\n"},
    // The answer comes after the wait: reported as a timeout once, a second set meanwhile asks
    // nothing, and the late answer changes nothing.
    {"AnswerAfterTheWait", "late", "300 2500 --again 2000",
     "errno 110 via -\nerrno 114 via -\nSetTime 2500 relative=True interactive=True\n"},
    {"NoTimedated", "notimedated", "5000 2500", "errno 1 via -\n"},
    {"NoBus", "nobus", "5000 2500", "errno 1 via -\n"},
    {"InvalidTimeAsksNobody", "accept", "5000 2500 --invalid", "errno 22 via -\n"},
};

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  return out;
}

class TimedatedTest : public ::testing::TestWithParam<Row> {};

TEST_P(TimedatedTest, SetsThroughTimedatedWhenTheKernelRefuses) {
  if (std::system("/usr/bin/python3 -c 'import dbusmock' 2>/dev/null && command -v dbus-daemon >/dev/null") != 0)
    GTEST_SKIP() << "needs python3-dbusmock and dbus-daemon";
  const Row& row = GetParam();
  std::string helper = std::string("'") + HORAVEX_TIMEDATED_HELPER + "' " + row.args;
  // Root holds CAP_SYS_TIME: drop it, or the first way would set the real clock.
  if (geteuid() == 0) {
    if (access("/usr/sbin/capsh", X_OK) != 0) GTEST_SKIP() << "capsh (libcap2-bin) is needed to drop CAP_SYS_TIME";
    helper = "/usr/sbin/capsh --drop=cap_sys_time -- -c \"" + helper + "\"";
  }
  EXPECT_EQ(Output(std::string("/usr/bin/python3 '") + HORAVEX_TIMEDATED_MOCK + "' " + row.scenario + " " + helper), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, TimedatedTest, ::testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace horavex
