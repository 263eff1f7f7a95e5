// The command line and the report of horavex-query.
#include "cli/query.h"

#include <gtest/gtest.h>

namespace horavex {
namespace {

using Args = std::vector<std::string>;

TEST(QueryArgs, ValidCommandLines) {
  auto p = ParseQueryArgs({"sntp", "pool.example"});
  ASSERT_TRUE(p.options) << p.message;
  EXPECT_EQ(p.options->kind, ClientKind::SntpUdp);
  EXPECT_EQ(p.options->port, 123u);
  EXPECT_EQ(p.options->timeout, std::chrono::milliseconds(5000));
  EXPECT_FALSE(p.options->set);

  p = ParseQueryArgs({"--timeout", "2.5", "--set", "--dry-run", "daytime-udp", "127.0.0.1", "1313"});
  ASSERT_TRUE(p.options) << p.message;
  EXPECT_EQ(p.options->kind, ClientKind::DaytimeUdp);
  EXPECT_EQ(p.options->port, 1313u);
  EXPECT_EQ(p.options->timeout, std::chrono::milliseconds(2500));
  EXPECT_TRUE(p.options->set && p.options->dryRun);

  const unsigned ports[] = {37, 37, 13, 13};
  const char* kinds[] = {"time-tcp", "time-udp", "daytime-tcp", "daytime-udp"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ParseQueryArgs({kinds[i], "h"}).options->port, ports[i]);
  EXPECT_EQ(*ParseQueryArgs({"--profile", "/x/y.ini", "sntp", "h"}).options->profile, "/x/y.ini");
}

TEST(QueryArgs, WrongCommandLinesSayWhatIsWrong) {
  const std::pair<Args, std::string> cases[] = {
      {{}, "Geef SOORT en SERVER op."},
      {{"sntp"}, "Geef SOORT en SERVER op."},
      {{"ntp", "h"}, "Onbekende soort: ntp"},
      {{"sntp", "h", "0"}, "Ongeldige poort: 0"},
      {{"sntp", "h", "65536"}, "Ongeldige poort: 65536"},
      {{"sntp", "h", "12x"}, "Ongeldige poort: 12x"},
      {{"--timeout", "0", "sntp", "h"}, "Ongeldige wachttijd: 0"},
      {{"--timeout", "-1", "sntp", "h"}, "Ongeldige wachttijd: -1"},
      {{"--timeout", "nan", "sntp", "h"}, "Ongeldige wachttijd: nan"},
      {{"--timeout", "9999", "sntp", "h"}, "Ongeldige wachttijd: 9999"},
      {{"--dry-run", "sntp", "h"}, "--dry-run hoort bij --set."},
      {{"--verbose", "sntp", "h"}, "Onbekende optie: --verbose"},
      {{"sntp", "h", "1", "2"}, "Geef SOORT en SERVER op."},
  };
  for (const auto& [args, first] : cases) {
    const auto p = ParseQueryArgs(args);
    EXPECT_FALSE(p.options) << first;
    EXPECT_EQ(p.message.substr(0, p.message.find('\n')), first);
    EXPECT_NE(p.message.find("Gebruik:"), std::string::npos);
  }
  EXPECT_EQ(ParseQueryArgs({"--help"}).message, QueryUsage());
}

TEST(QueryReport, DumpTimeDifferenceAndIsoLast) {
  AnswerArea sntp{};
  sntp[0] = 0x1C;
  RequestOutcome o;
  o.received = true;
  o.utc = *UtcBreakdown(1796558400);  // 2026-12-06 12:00:00 UTC
  o.calendarSeconds = 1796558400;
  o.milliseconds = 250;
  o.clockAtAnswer = SystemTimeFromUnix(1796558398, 900);
  const std::string r = FormatAnswerReport(ClientKind::SntpUdp, sntp, o, false);
  EXPECT_EQ(r.substr(0, 26), "Type client: SNTP via UDP\n");
  EXPECT_EQ(r.find('\r'), std::string::npos);
  EXPECT_NE(r.find("\n\nTijd (UTC): 2026-12-06 12:00:00.250\nVerschil met lokale klok: +1.350 s\n"
                   "2026-12-06T12:00:00.250Z\n"),
            std::string::npos)
      << r;
  EXPECT_TRUE(r.ends_with("\n2026-12-06T12:00:00.250Z\n"));

  AnswerArea time{0xEE, 0xC0, 0x00, 0x00};
  o.milliseconds = -1;
  o.clockAtAnswer = SystemTimeFromUnix(1796558403, 999);
  const std::string t = FormatAnswerReport(ClientKind::TimeTcp, time, o, true);
  EXPECT_NE(t.find("0:00 uur\n\nTijd (UTC): 2026-12-06 12:00:00\nVerschil met lokale klok: -3 s\n"
                   "Klok ingesteld.\n2026-12-06T12:00:00.000Z\n"),
            std::string::npos)
      << t;
}

}  // namespace
}  // namespace horavex
