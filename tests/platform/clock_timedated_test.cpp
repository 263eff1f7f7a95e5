// The system clock's second way, systemd-timedated's SetTime after polkit's consent: against a
// mocked timedated and polkit on a private bus that the mock script starts, in processes whose
// CAP_SYS_TIME is dropped so that the direct way fails. The real clock is never set: the helper
// refuses to run while it could, and the mock's SetTime sets nothing but says where it would have
// moved the clock.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "support/require_peer.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;

class TimedatedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HORAVEX_REQUIRE(std::system("/usr/bin/python3 -c 'import dbusmock' 2>/dev/null && command -v dbus-daemon >/dev/null") == 0,
                    "python3-dbusmock or dbus-daemon");
    // capsh drops CAP_SYS_TIME.
    HORAVEX_REQUIRE(geteuid() != 0 || access("/usr/sbin/capsh", X_OK) == 0, "capsh (libcap2-bin)");
  }
  // The output of each shell script, run in turn without CAP_SYS_TIME against the mock in
  // `scenario` with a runtime folder of the test's own, then the calls the mock received.
  std::string UnderMock(const std::string& scenario, const std::vector<std::string>& scripts) {
    std::string run = "/usr/bin/python3 '" HORAVEX_TIMEDATED_MOCK "' " + scenario;
    for (std::size_t i = 0; i < scripts.size(); ++i) {
      const auto file = dir_.File("run" + std::to_string(i) + ".sh");
      std::ofstream(file) << "export XDG_RUNTIME_DIR=" << dir_.Path().string() << "\n" << scripts[i] << "\n";
      // Root holds CAP_SYS_TIME: drop it, or the first way would set the real clock.
      run += (i ? " --then " : " ") + std::string(geteuid() == 0 ? "/usr/sbin/capsh --drop=cap_sys_time -- " : "/bin/sh ") +
             file.string();
    }
    return std::system((run + " > " + dir_.File("out").string()).c_str()) == -1 ? "not run" : ReadFile(dir_.File("out"));
  }
  const TempDir dir_;
};

// Each row: the mock's scenario, what runs before the helper, the helper's arguments
// (DEADLINE_MS CORRECTION_MS [...]), and the helper's lines followed by the calls the mock received.
TEST_F(TimedatedTest, EachOutcomeIsReportedOnce) {
  const std::string set = "errno 0 via systemd-timedated waited 0 pending 0\n", granted = "CheckAuthorization interactive=1 granted\n",
                    asked = "SetTime 2500 relative=True interactive=False\n";  // for a correction of 2.5 s
  const std::string lock = "mkdir -m 700 -p $XDG_RUNTIME_DIR/horavex; ";
  const std::tuple<const char*, std::string, const char*, std::string> rows[] = {
      {"polkit=yes", "", "5000 2500", set + granted + asked},
      {"polkit=yes", "", "5000 -1250", set + granted + "SetTime -1250 relative=True interactive=False\n"},
      // Without polkit timedated decides alone; with its synchronisation on nobody is asked.
      {"polkit=none", "", "5000 2500", set + asked}, {"autosync", "", "5000 2500", "errno 16 via - waited 0 pending 0\n"},
      {"polkit=no", "", "5000 2500", "errno 13 via - waited 0 pending 0\nCheckAuthorization interactive=1 refused\n"},
      {"deny", "", "5000 2500", "errno 13 via - waited 0 pending 0\n" + granted + asked},
      // A consent that outlasts the deadline is withdrawn from polkit, and nothing is asked.
      {"prompt=2", "", "500 2500", "errno 110 via - waited 0 pending 0\nCheckAuthorization interactive=1 cancelled\n"},
      // The answer comes after the deadline: the set may still land, so the one queued behind it
      // waits for that answer, past its own deadline, and asks nothing.
      {"late", "", "300 2500 --again",
       "waiting\nerrno 110 via - waited 0 pending 1\nerrno 110 via - waited 1 pending 0\n" + granted + asked},
      // Another process's set pending: waited for, not asked again; one whose process did not see
      // its answer may have landed, which the result says.
      {"polkit=yes", lock + "flock $XDG_RUNTIME_DIR/horavex/clock-set.lock sleep 0.5 & sleep 0.2; ", "5000 2500",
       "waiting\nerrno 0 via systemd-timedated waited 1 pending 0\n" + granted + asked},
      {"polkit=yes", lock + "echo sent > $XDG_RUNTIME_DIR/horavex/clock-set.lock; ", "5000 2500",
       "errno 0 via systemd-timedated waited 1 pending 0\n" + granted + asked},
      // The kernel's refusal of a process without the right, with nobody else to ask; an invalid
      // time is refused before the kernel, which would refuse it for the right alone.
      {"timedated=none", "", "5000 2500", "errno 1 via - waited 0 pending 0\n"},
      {"nobus", "", "5000 2500", "errno 1 via - waited 0 pending 0\n"},
      {"polkit=yes", "", "5000 2500 --invalid", "errno 22 via - waited 0 pending 0\n"}};
  for (const auto& [scenario, before, args, expected] : rows) {
    const std::string out = UnderMock(scenario, {before + "exec '" HORAVEX_TIMEDATED_HELPER "' " + args});
    EXPECT_EQ(std::regex_replace(out, std::regex(" step_us=-?[0-9]+"), ""), expected) << scenario << " " << before << args;
  }
}

// The steps the mock would have made, from its file: the server answers as if the clock had moved.
std::chrono::nanoseconds Moved(const std::filesystem::path& steps) {
  std::chrono::nanoseconds sum{0};
  std::ifstream in(steps);
  for (long long us = 0; in >> us;) sum += std::chrono::microseconds(us);
  return sum;
}

// horavex-query --set from end to end, against a server whose clock is exactly kOffset ahead: a
// person who takes 20 s to consent (on a bus that stamps messages, where a relative SetTime that
// waits for the prompt lands too far by the prompt's time), and a run interrupted while the
// prompt is open followed by a second run. Either way the clock moves once, by the offset.
TEST_F(TimedatedTest, TheClockEndsRightWhateverTheConsentTakes) {
  constexpr auto kOffset = 3250ms;
  const auto steps = dir_.File("steps");
  setenv("HORAVEX_MOCK_STEPS", steps.c_str(), 1);
  ScriptedServer server(Script::LiveSntp(kOffset, {}, {}, [steps] { return Moved(steps); }));
  const std::string query = std::string("exec ") + HORAVEX_QUERY_PATH + " --profile " + dir_.File("horavex.ini").string() +
                            " --set sntp 127.0.0.1 " + std::to_string(server.Port()) + " 2>&1";
  const std::tuple<const char*, int, std::vector<const char*>> rows[] = {
      {"prompt=20+busstamp", 1, {"Rondreistijd (delta) : 0,0", "Klok ingesteld via systemd-timedated.", "interactive=1 granted"}},
      {"prompt=20,0.3+interrupt=1.5", 2,
       {"Afgebroken: de klok is niet ingesteld.", "Klok ingesteld via systemd-timedated.", "interactive=1 cancelled",
        "interactive=1 granted"}}};
  for (const auto& [scenario, runs, lines] : rows) {
    std::filesystem::remove(steps);
    const std::string out = UnderMock(scenario, std::vector<std::string>(static_cast<std::size_t>(runs), query));
    for (const char* line : lines) EXPECT_NE(out.find(line), std::string::npos) << line << " in\n" << out;
    const std::size_t at = out.find("step_us=");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.find("step_us=", at + 1), std::string::npos) << "one SetTime only:\n" << out;
    EXPECT_NEAR(std::atoll(out.c_str() + at + 8), std::chrono::microseconds(kOffset).count(), 1000) << out;
  }
}

}  // namespace
}  // namespace horavex::testing
