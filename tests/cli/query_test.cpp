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
  const std::vector<std::string> wrong[] = {{"sntp"}, {"ntp", "h"}, {"sntp", "h", "0"}, {"sntp", "h", "12x"},
                                            {"--timeout", "0", "sntp", "h"}, {"--dry-run", "sntp", "h"}, {"--verbose", "sntp", "h"}};
  for (const auto& args : wrong) EXPECT_FALSE(ParseQueryArgs(args).options) << args.back();
  EXPECT_EQ(ParseQueryArgs({"sntp", "h", "12x"}).message, "Ongeldige poort: 12x\n" + QueryUsage());
}

}  // namespace
}  // namespace horavex
