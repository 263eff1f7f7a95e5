// The about window's picture, composed without a screen: stars, the narrowed text rows ORed over
// them, the text colour and the scroll position.
#include <algorithm>

#include <gtest/gtest.h>

#include "about/star_crawl.h"

namespace horavex {
namespace {

constexpr int kW = 300;
constexpr int kH = 70;

// A crawl whose 100 stars all start at (x, y, z), its first frame composed at `speed`.
StarCrawl Started(int x, int y, int z, int speed = 30, int h = kH) {
  StarCrawl crawl;
  crawl.SetStarSpeed(speed);
  crawl.Start(h ? kW : 0, h, [&, call = 0]() mutable { return std::array{x + 512, y + 512, z + 256}[call++ % 3]; });
  return crawl;
}
LineMask Solid(int width, int height) { return {width, height, std::vector<std::uint8_t>(width * height, 255)}; }
std::uint32_t At(const StarCrawl& crawl, int x, int y) { return crawl.Pixels()[y * crawl.Width() + x]; }

TEST(StarCrawl, StarsWrapBeforeTheyAreProjectedAndProjectionTruncates) {
  // The nearest starts wrap far away at the first move; too far wraps to the nearest (divisor 1).
  struct Row { int x, y, z, speed, zAfter, sx, sy; } rows[] = {{-7, 5, -256, 30, 255, 149, 35},
      {0, 0, -255, 30, 255, 150, 35}, {512, -512, 256, 0, -255, 51350, -51165},
      {100, 100, 250, -30, -255, 10150, 10035}, {-512, 512, 256, 30, 226, 44, 141}};
  for (const Row& row : rows) {
    const Star star = Started(row.x, row.y, row.z, row.speed).Stars()[0];
    EXPECT_EQ(std::tuple(star.z, StarCrawl::Project(star, kW, kH)), std::tuple(row.zAfter, std::array{row.sx, row.sy}));
  }
  StarCrawl crawl = Started(-300, -100, -256);  // then 18 depths, 255 down to -255, on one ray
  for (int tick = 1; tick <= 36; ++tick, crawl.ComposeFrame())
    EXPECT_EQ(std::tuple(crawl.Stars()[99].x, crawl.Stars()[99].y, crawl.Stars()[99].z), std::tuple(-300, -100, 255 - 30 * ((tick - 1) % 18)));
}

TEST(StarCrawl, RowsNarrowTowardsTheTopAroundTheCentreAndAreOredOverTheStars) {
  StarCrawl crawl = Started(0, 0, 256);  // every star's centre at (151, 36), outline grey 29
  crawl.SetStarSpeed(0);
  crawl.AddLine(Solid(kW, 40));
  crawl.SetScrollPos(20);
  crawl.ComposeFrame();
  int lastWidth = 0, rowsWithText = 0;
  for (int r = 20; r < kH; ++r) {
    int first = -1, count = 0;
    for (int x = 0; x < kW; ++x)
      if (At(crawl, x, r) & 0xFFFF00) first = first < 0 ? x : first, ++count;
    if (count == 0) continue;
    ++rowsWithText;
    EXPECT_GT(count, lastWidth) << "row " << r << " is wider than the one above it";
    EXPECT_LE(count, kW);
    EXPECT_NEAR(first + count / 2.0, kW / 2.0, 2.0) << "row " << r << " is centred";
    lastWidth = count;
  }
  EXPECT_GT(rowsWithText, 3);
  EXPECT_LT(lastWidth, kW) << "even the lowest row is narrowed";
  EXPECT_EQ(At(crawl, 151, 36) & 0x0000FF, 0xFFu) << "the star's centre shows through the text";
  EXPECT_EQ(At(crawl, 151, 35) & 0xFF, 0x1Du) << "a bitwise OR keeps the star's grey, a saturating add would not";
}

TEST(StarCrawl, TheFirstFrameHasNoTextWhichRisesFromTheBottomAndRestartsAtTheHeight) {
  struct Row { int h, lines, pos, frames, after; } rows[] = {
      {kH, 4, kH - 2, 0, kH - 2}, {kH, 4, -68, 1, -70}, {kH, 4, -68, 2, kH}, {kH, 0, -68, 2, kH}, {0, 1, 0, 5, 0}};
  for (const Row& row : rows) {
    StarCrawl crawl = Started(0, 0, 0, 30, row.h);
    for (int i = 0; i < row.lines; ++i) crawl.AddLine(Solid(kW, 24));
    if (row.frames) crawl.SetScrollPos(row.pos);
    for (int i = 0; i < row.frames; ++i) crawl.ComposeFrame();
    EXPECT_EQ(crawl.ScrollPos(), row.after) << row.h << " " << row.frames;
    const bool text = std::ranges::any_of(crawl.Pixels(), [](std::uint32_t p) { return (p >> 16) != (p & 0xFF); });
    EXPECT_EQ(text, row.h && row.lines && row.frames) << "only the first frame has stars alone";
  }
}

}  // namespace
}  // namespace horavex
