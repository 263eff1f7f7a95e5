// horavex-query as users run it: a real process against scripted servers on loopback.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <ctime>
#include <fstream>

#include "protocol/time_formats.h"
#include "support/peer_process.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace horavex::testing {
namespace {

using namespace std::chrono_literals;

struct Outcome {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
  std::chrono::milliseconds took{0};
};

class QueryProcess : public ::testing::Test {
 protected:
  Outcome Query(std::vector<std::string> args) {
    args.insert(args.begin(), {HORAVEX_QUERY_PATH, "--profile", dir_.File("horavex.ini").string()});
    return Start(args);
  }
  Outcome Start(const std::vector<std::string>& argv) {
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    auto p = PeerProcess::Start(argv, dir_.File("out.log"), error);
    EXPECT_TRUE(p) << error;
    Outcome r;
    if (!p) return r;
    EXPECT_TRUE(p->AwaitReady([] { return false; }, 15s) == false);
    const int status = p->Stop();
    r.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.output = p->Log();
    std::filesystem::remove(dir_.File("out.log"));
    return r;
  }
  TempDir dir_;
};

std::string LastLine(const std::string& s) {
  const std::string trimmed = s.substr(0, s.find_last_not_of('\n') + 1);
  return trimmed.substr(trimmed.rfind('\n') + 1);
}

TEST_F(QueryProcess, ValidAnswerEndsWithTheIsoTime) {
  const std::int64_t now = std::time(nullptr);
  ScriptedServer server(Script::Answer(Transport::Tcp, TimeAnswer(now + 3600)));
  const Outcome r = Query({"time-tcp", "127.0.0.1", std::to_string(server.Port())});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  char iso[32];
  const std::tm utc = *UtcBreakdown(static_cast<std::int32_t>(now + 3600));
  std::strftime(iso, sizeof iso, "%Y-%m-%dT%H:%M:%S.000Z", &utc);
  EXPECT_EQ(LastLine(r.output), iso);
  EXPECT_NE(r.output.find("Verschil met lokale klok: +3600 s"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Type client: Time via TCP\nDUMP:\n"), std::string::npos);
  EXPECT_EQ(r.output.find("Klok ingesteld."), std::string::npos) << "nothing is set unless asked";
}

TEST_F(QueryProcess, FailuresExitNonZeroWithTheMessage) {
  ScriptedServer silent(Script::Silent(Transport::Udp));
  Outcome r = Query({"--timeout", "0.3", "sntp", "127.0.0.1", std::to_string(silent.Port())});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("Verkeerd of geen resultaat ontvangen [ERROR: -110]"), std::string::npos) << r.output;
  EXPECT_LT(r.took, 3s);

  ScriptedServer xinetdLike(Script::Answer(Transport::Tcp, DaytimeAnswer("06 DEC 2026 17:33:22 UTC\r\n")));
  r = Query({"daytime-tcp", "127.0.0.1", std::to_string(xinetdLike.Port())});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("String ontvangen:\n[06 DEC 2026 17:33:22 UTC\n]"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Ongeldige datum/tijd.. [ERROR: 0]"), std::string::npos);

  r = Query({"sntp"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.output.find("Gebruik:"), std::string::npos);
}

TEST_F(QueryProcess, DryRunShowsWhatWouldBeSetAndHonoursTheMaximum) {
  const std::int64_t now = std::time(nullptr);
  ScriptedServer server(Script::Answer(Transport::Udp, SntpAnswer(now + 120, 500)));
  Outcome r = Query({"--set", "--dry-run", "sntp", "127.0.0.1", std::to_string(server.Port())});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("Droogoefening: de klok zou gezet worden op "), std::string::npos) << r.output;

  // The client's own maximum correction (+/- 1 minuut) applies to --set.
  std::ofstream(dir_.File("horavex.ini")) << "[SNTP CLIENT UDP]\nMaxOffset=4\n";
  r = Query({"--set", "--dry-run", "sntp", "127.0.0.1", std::to_string(server.Port())});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.output.find("Datum / tijd wijkt TEVEEL af, abort [ERROR: 12"), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("Droogoefening"), std::string::npos);
}

TEST_F(QueryProcess, RealClockWithoutTheRightIsRefusedAndReported) {
  if (!FindProgram("capsh")) GTEST_SKIP() << "capsh is missing (Debian package libcap2-bin)";
  const std::int64_t now = std::time(nullptr);
  ScriptedServer server(Script::Answer(Transport::Tcp, TimeAnswer(now)));
  // The shell refuses to go on unless CAP_SYS_TIME (bit 25) is really gone.
  const std::string command = "eff=$(awk '/^CapEff/ {print $2}' /proc/self/status); "
                              "[ $(( 0x$eff >> 25 & 1 )) -eq 0 ] || exit 99; "
                              // Root may set the clock through the machine's systemd-timedated: no bus.
                              "exec env DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent " +
                              std::string(HORAVEX_QUERY_PATH) + " --profile " + dir_.File("horavex.ini").string() +
                              " --set time-tcp 127.0.0.1 " + std::to_string(server.Port());
  const Outcome r = Start({ProgramPath("capsh").string(), "--drop=cap_sys_time", "--", "-c", command});
  ASSERT_NE(r.exitCode, 99) << "CAP_SYS_TIME could not be dropped; the test did not run the query";
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("Kon de TIJD niet instellen (rechten?) [ERROR: 1]"), std::string::npos) << r.output;
}

}  // namespace
}  // namespace horavex::testing
