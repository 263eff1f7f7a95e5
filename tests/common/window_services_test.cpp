// What the windows share without a toolkit: the opacity rule of "Transparant" and the help
// launcher's states.
#include <fstream>
#include <optional>

#include <gtest/gtest.h>

#include "common/help_launcher.h"
#include "common/profile.h"
#include "common/transparency.h"
#include "support/temp_dir.h"

namespace horavex {
namespace {

struct AlphaCase {
  const char* name;
  const char* line;  // the section's line, nullptr for none
  std::optional<int> alpha;
};

void PrintTo(const AlphaCase& row, std::ostream* out) { *out << row.name; }

class TransparencyTest : public ::testing::TestWithParam<AlphaCase> {};

TEST_P(TransparencyTest, OnlyOneTo254MakeATranslucentWindow) {
  testing::TempDir dir;
  std::ofstream(dir.File("horavex.ini")) << "[server window]\n" << (GetParam().line ? GetParam().line : "") << "\n";
  Profile profile(dir.File("horavex.ini"));
  const auto alpha = WindowAlpha(profile, kServerWindowSection);
  EXPECT_EQ(alpha ? std::optional<int>(*alpha) : std::nullopt, GetParam().alpha);
}

INSTANTIATE_TEST_SUITE_P(Values, TransparencyTest,
                         ::testing::Values(AlphaCase{"Absent", nullptr, std::nullopt}, AlphaCase{"Zero", "Transparant=0", std::nullopt},
                                           AlphaCase{"One", "transparant=1", 1}, AlphaCase{"Two54", "Transparant=254", 254},
                                           AlphaCase{"Opaque255", "Transparant=255", std::nullopt},
                                           AlphaCase{"Above", "Transparant=300", std::nullopt},
                                           AlphaCase{"NegativeIsLarge", "Transparant=-1", std::nullopt},
                                           AlphaCase{"SaturatedNotWrapped", "Transparant=-4294967096", std::nullopt}),
                         [](const auto& row) { return row.param.name; });

struct FakeViewer : HelpViewer {
  std::intptr_t Show(void* owner, std::string_view page) override {
    shown += std::string(page) + (owner ? "" : " unowned");
    return 7;
  }
  std::string shown;
};

TEST(HelpLauncherTest, MakesTheViewerOnceAndGivesUpForGoodWhenItCannot) {
  int makes = 0;
  auto viewer = std::make_unique<FakeViewer>();
  FakeViewer& seen = *viewer;
  HelpLauncher launcher([&] { return ++makes, std::move(viewer); });
  EXPECT_EQ(launcher.ShowHelpTopic(&makes, kServerHelpTopic, 0, 0), 7);
  EXPECT_EQ(launcher.ShowHelpTopic(&makes, "Horavex.chm::client.html", 0, 0), 7);
  EXPECT_EQ(seen.shown, "server.htmlclient.html");

  HelpLauncher failing([&]() -> std::unique_ptr<HelpViewer> { return ++makes, nullptr; });
  EXPECT_EQ(failing.ShowHelpTopic(&makes, kServerHelpTopic, 0, 0) + failing.ShowHelpTopic(&makes, kServerHelpTopic, 0, 0), 0);
  EXPECT_EQ(makes, 2);
}

}  // namespace
}  // namespace horavex
