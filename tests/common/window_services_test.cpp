// What the windows share without a toolkit: the opacity rule of "Transparant".
#include <fstream>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace horavex
