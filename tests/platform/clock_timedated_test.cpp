// The system clock's second way, systemd-timedated's SetTime: against dbusmock's timedated on a
// private bus that the mock script starts, in processes whose CAP_SYS_TIME is dropped so that the
// direct way fails. The real clock is never set: the helper refuses to run while it could, and
// the mock's SetTime sets nothing.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "support/require_peer.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace horavex::testing {
namespace {

class TimedatedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HORAVEX_REQUIRE(std::system("/usr/bin/python3 -c 'import dbusmock' 2>/dev/null && command -v dbus-daemon >/dev/null") == 0,
                    "python3-dbusmock or dbus-daemon");
    // capsh drops CAP_SYS_TIME.
    HORAVEX_REQUIRE(geteuid() != 0 || access("/usr/sbin/capsh", X_OK) == 0, "capsh (libcap2-bin)");
  }
  // The output of `command`, run without CAP_SYS_TIME against the mock in `scenario`, then the
  // SetTime calls the mock received.
  static std::string UnderMock(const std::string& scenario, std::string command) {
    // Root holds CAP_SYS_TIME: drop it, or the first way would set the real clock.
    if (geteuid() == 0) command = "/usr/sbin/capsh --drop=cap_sys_time -- -c \"" + command + "\"";
    const TempDir dir;
    const std::string run = "{ /usr/bin/python3 '" HORAVEX_TIMEDATED_MOCK "' " + scenario + " " + command + "; } > " + dir.File("out").string();
    return std::system(run.c_str()) == -1 ? "not run" : ReadFile(dir.File("out"));
  }
};

// Each row: timedated_mock.py's scenario, the helper's arguments (WAIT_MS CORRECTION_MS [...]), and
// the helper's completions followed by the SetTime calls the mock received.
TEST_F(TimedatedTest, EachOutcomeIsReportedOnce) {
  const std::string asked = "SetTime 2500 relative=True interactive=True\n";  // for a correction of 2.5 s
  const std::tuple<const char*, const char*, std::string> rows[] = {
      {"accept", "5000 2500", "errno 0 via systemd-timedated\n" + asked},
      {"accept", "5000 -1250", "errno 0 via systemd-timedated\nSetTime -1250 relative=True interactive=True\n"},
      {"autosync", "5000 2500", "errno 16 via -\n" + asked},
      {"notauthorized", "5000 2500", "errno 13 via -\n" + asked}, {"accessdenied", "5000 2500", "errno 13 via -\n" + asked},
      // The answer comes after the wait: one timeout, a second set meanwhile asks nothing, and the
      // late answer is not reported.
      {"late", "300 2500 --again 2000", "errno 110 via -\nerrno 114 via -\n" + asked},
      // The kernel's refusal of a process without the right, with nobody else to ask; an invalid
      // time is refused before the kernel, which would refuse it for the right alone.
      {"notimedated", "5000 2500", "errno 1 via -\n"}, {"nobus", "5000 2500", "errno 1 via -\n"},
      {"accept", "5000 2500 --invalid", "errno 22 via -\n"}};
  for (const auto& [scenario, args, expected] : rows)
    EXPECT_EQ(UnderMock(scenario, std::string("'") + HORAVEX_TIMEDATED_HELPER + "' " + args), expected) << scenario << " " << args;
}

// horavex-query --set from end to end: the way or the refusal it reports, and timedated asked
// for the very correction the request measured.
TEST_F(TimedatedTest, QueryAsksForTheCorrectionItMeasured) {
  for (const auto& [scenario, line] : {std::pair{"accept", "Klok ingesteld via systemd-timedated."},
                                       {"autosync", "van het systeem staat aan:\nzet die eerst uit [ERROR: 16]"}}) {
    ScriptedServer server(Script::Answer(Transport::Udp, SntpAnswer(std::time(nullptr) + 3, 250)));
    TempDir dir;
    const std::string out = UnderMock(scenario, std::string(HORAVEX_QUERY_PATH) + " --profile " +
                                                    dir.File("horavex.ini").string() + " --set sntp 127.0.0.1 " +
                                                    std::to_string(server.Port()) + " 2>&1");
    EXPECT_NE(out.find(line), std::string::npos) << out;
    double measured = 0;
    long long asked = 0;
    ASSERT_EQ(std::sscanf(out.c_str() + out.find("Verschil met lokale klok:"), "Verschil met lokale klok: %lf", &measured), 1);
    ASSERT_EQ(std::sscanf(out.c_str() + out.find("SetTime "), "SetTime %lld", &asked), 1) << out;
    EXPECT_NEAR(static_cast<double>(asked), measured * 1000, 1.0) << out;
  }
}

}  // namespace
}  // namespace horavex::testing
