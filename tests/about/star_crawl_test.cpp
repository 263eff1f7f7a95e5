// The about window's picture, composed without a screen: stars, the narrowed text rows ORed over
// them, the text colour and the scroll position.
#include <gtest/gtest.h>

#include "about/star_crawl.h"

namespace horavex {
namespace {

constexpr int kW = 300;
constexpr int kH = 70;

// A crawl whose 100 stars all start at (x, y, z), the first frame composed.
StarCrawl Started(int x, int y, int z, int w = kW, int h = kH) {
  int call = 0;
  StarCrawl crawl;
  crawl.Start(w, h, [&] { const int at[] = {x + 512, y + 512, z + 256}; return at[call++ % 3]; });
  return crawl;
}
LineMask Solid(int width, int height) { return {width, height, std::vector<std::uint8_t>(width * height, 255)}; }
std::uint32_t At(const StarCrawl& crawl, int x, int y) { return crawl.Pixels()[y * crawl.Width() + x]; }
bool AnyYellow(const StarCrawl& crawl) {
  for (const std::uint32_t p : crawl.Pixels()) if ((p >> 16) != (p & 0xFF)) return true;
  return false;
}

TEST(StarCrawl, StarsWrapBeforeTheyAreProjectedAndProjectionTruncates) {
  struct Row { int x, y, z, speed, zAfter, sx, sy; } rows[] = {
      {-7, 5, -256, 30, 255, 149, 35},     // the nearest start wraps far away at the first move
      {0, 0, -255, 30, 255, 150, 35},
      {512, -512, 256, 0, -255, 51350, -51165},  // too far wraps to the nearest: divisor 1
      {100, 100, 250, -30, -255, 10150, 10035},  // flying away wraps the same way
      {-512, 512, 256, 30, 226, 44, 141},
  };
  for (const Row& row : rows) {
    int call = 0;
    StarCrawl crawl;
    crawl.SetStarSpeed(row.speed);
    crawl.Start(kW, kH, [&] { const int at[] = {row.x + 512, row.y + 512, row.z + 256}; return at[call++ % 3]; });
    const Star star = crawl.Stars()[0];
    EXPECT_EQ(star.z, row.zAfter) << row.z;
    EXPECT_EQ(StarCrawl::Project(star, kW, kH), (std::array{row.sx, row.sy})) << row.z;
  }
}

TEST(StarCrawl, AtSpeed30EveryStarCyclesThrough18DepthsOnItsRay) {
  StarCrawl crawl = Started(-300, -100, -256);
  for (int tick = 1; tick <= 36; ++tick) {
    crawl.ComposeFrame();
    EXPECT_EQ(crawl.Stars()[99].z, 255 - 30 * (tick % 18));
    EXPECT_EQ(crawl.Stars()[99].x * 1000 + crawl.Stars()[99].y, -300 * 1000 - 100);
  }
  const auto [sx, sy] = StarCrawl::Project(crawl.Stars()[0], kW, kH);
  EXPECT_EQ(At(crawl, sx + 1, sy + 1), 0xFFFFFFu);
  EXPECT_EQ(At(crawl, sx + 1, sy), 0x000000u) << "depth 255 draws a black outline";
}

TEST(StarCrawl, RowsNarrowInPerspectiveAndAreOredOverTheStars) {
  StarCrawl crawl = Started(0, 0, 256);  // every star at (150, 35), depth 226: outline grey 29
  crawl.SetStarSpeed(0);
  crawl.AddLine(Solid(kW, 3));
  crawl.SetScrollPos(35);  // level 35
  crawl.ComposeFrame();
  struct Row { int r, x, width; } rows[] = {{35, 75, 150}, {36, 73, 154}, {37, 71, 158}, {38, 0, 0}};
  for (const Row& row : rows) {
    int first = -1, count = 0;
    for (int x = 0; x < kW; ++x)
      if (At(crawl, x, row.r) & 0xFFFF00) first = first < 0 ? x : first, ++count;
    EXPECT_EQ(count, row.width) << row.r;
    EXPECT_EQ(first, row.width ? row.x : -1) << row.r;
  }
  EXPECT_EQ(At(crawl, 151, 35), 0x1D1D1Du | 0x232300u);  // a bitwise OR, not a saturating add
  EXPECT_EQ(At(crawl, 151, 36), 0xFFFFFFu);
}

TEST(StarCrawl, TextLevelRisesWithTheLinesTopAndALineAtTheTopEdgeIsGone) {
  for (const auto& [y, level] : {std::pair{-5, 0}, {0, 0}, {1, 1}, {200, 200}, {255, 255}, {400, 255}})
    EXPECT_EQ(StarCrawl::CrawlTextLevel(y), level) << y;
  for (const int top : {0, 1}) {
    StarCrawl crawl = Started(0, 0, 256);
    crawl.AddLine(Solid(kW, 1));
    crawl.SetScrollPos(top);
    crawl.ComposeFrame();
    EXPECT_EQ(At(crawl, kW / 2, 1), top ? 0x010100u : 0u) << top;
  }
}

TEST(StarCrawl, TheFirstFrameHasNoTextWhichRisesFromTheBottomAndRestartsAtTheHeight) {
  StarCrawl crawl = Started(0, 0, 0);
  crawl.AddLine(Solid(40, 24));
  EXPECT_FALSE(AnyYellow(crawl));
  EXPECT_EQ(crawl.ScrollPos(), kH - 2);
  crawl.ComposeFrame();
  EXPECT_TRUE(AnyYellow(crawl));
  struct Row { int h, lines, pos, frames, after; } rows[] = {
      {kH, 1, -68, 1, -70}, {kH, 1, -68, 2, kH}, {kH, 0, -68, 2, kH}, {0, 1, 0, 1, 0}, {0, 0, 0, 5, 0}};
  for (const Row& row : rows) {
    StarCrawl scroll = Started(0, 0, 0, row.h ? kW : 0, row.h);
    if (row.lines) scroll.AddLine(Solid(40, 24));
    scroll.SetScrollPos(row.pos);
    for (int i = 0; i < row.frames; ++i) scroll.ComposeFrame();
    EXPECT_EQ(scroll.ScrollPos(), row.after) << row.h << " " << row.frames;
  }
}

TEST(StarCrawl, TheProcessGeneratorGivesEachFieldNewStarsInRange) {
  StarCrawl first, second;
  first.Start(10, 10);
  second.Start(10, 10);
  EXPECT_NE(first.Stars()[0].x * 1000 + first.Stars()[0].y, second.Stars()[0].x * 1000 + second.Stars()[0].y);
  for (const Star& star : first.Stars()) EXPECT_TRUE(std::abs(star.x) <= 512 && std::abs(star.y) <= 512) << star.x;
}

}  // namespace
}  // namespace horavex
