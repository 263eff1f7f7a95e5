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

// The section's line, and the opacity it gives (0: an opaque window). A negative value reads as a
// large one, and one beyond the 32 bits saturates instead of wrapping into the range.
TEST(TransparencyTest, OnlyOneTo254MakeATranslucentWindow) {
  const std::pair<const char*, int> rows[] = {{"", 0}, {"Transparant=0", 0}, {"transparant=1", 1}, {"Transparant=254", 254},
                                              {"Transparant=255", 0}, {"Transparant=300", 0}, {"Transparant=-1", 0}, {"Transparant=-4294967096", 0}};
  for (const auto& [line, alpha] : rows) {
    testing::TempDir dir;
    std::ofstream(dir.File("horavex.ini")) << "[server window]\n" << line << "\n";
    Profile profile(dir.File("horavex.ini"));
    EXPECT_EQ(WindowAlpha(profile, kServerWindowSection).value_or(0), alpha) << line;
  }
}

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
