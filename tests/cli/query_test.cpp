// The command line of horavex-query.
#include "cli/query.h"

#include <gtest/gtest.h>

namespace horavex {
namespace {

TEST(QueryArgs, WhatEachCommandLineGivesOrWhyItIsWrong) {
  const auto p = ParseQueryArgs({"--timeout", "2.5", "--set", "--dry-run", "daytime-udp", "h", "1313"});
  ASSERT_TRUE(p.options) << p.message;
  EXPECT_EQ(std::tie(p.options->kind, p.options->server, p.options->port, p.options->timeout, p.options->dryRun),
            std::make_tuple(ClientKind::DaytimeUdp, "h", 1313u, std::chrono::milliseconds(2500), true));
  const std::pair<std::vector<std::string>, std::string> wrong[] = {
      {{"sntp"}, "Geef SOORT en SERVER op."},
      {{"ntp", "h"}, "Onbekende soort: ntp"},
      {{"sntp", "h", "0"}, "Ongeldige poort: 0"},
      {{"sntp", "h", "12x"}, "Ongeldige poort: 12x"},
      {{"--timeout", "0", "sntp", "h"}, "Ongeldige wachttijd: 0"},
      {{"--dry-run", "sntp", "h"}, "--dry-run hoort bij --set."},
      {{"--verbose", "sntp", "h"}, "Onbekende optie: --verbose"},
  };
  for (const auto& [args, first] : wrong) {
    const auto q = ParseQueryArgs(args);
    EXPECT_FALSE(q.options) << first;
    EXPECT_EQ(q.message, first + "\n" + QueryUsage());
  }
}

}  // namespace
}  // namespace horavex
