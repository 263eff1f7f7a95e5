#include "about/star_crawl.h"

#include <algorithm>
#include <random>

namespace horavex {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

std::uint32_t Grey(int level) { return static_cast<std::uint32_t>(level) * 0x010101u; }

}  // namespace

int StarRand() {
  static std::minstd_rand generator;  // default seed, on purpose
  return static_cast<int>(generator() % 32768);
}

void StarCrawl::Start(int w, int h, const std::function<int()>& rand) {
  Resize(w, h);
  for (Star& star : m_stars) {
    star.x = rand() % 1025 - 512;
    star.y = rand() % 1025 - 512;
    star.z = rand() % 513 - 256;
  }
  m_scrollPos = h;
  ComposeFrame();
}

void StarCrawl::Resize(int w, int h) {
  m_w = std::max(w, 0);
  m_h = std::max(h, 0);
  m_pixels.assign(static_cast<std::size_t>(m_w) * m_h, 0);
  m_text.assign(m_pixels.size(), 0);
}

void StarCrawl::ComposeFrame() {
  DrawStars();
  DrawCrawl();
  ++m_frames;
}

std::uint32_t StarCrawl::CrawlTextColor(int y) {
  const auto level = static_cast<std::uint32_t>(std::clamp(y, 0, 255));
  return level << 16 | level << 8;
}

// 255 - z is black far away and white at depth 0. Nearer than 0 it would pass 255, and keeping only
// its low byte would make the nearest stars' outlines go black and brighten again as they pass the
// viewer, so a star would fade out just as it comes closest. We keep them white instead.
int StarCrawl::StarGrey(int z) { return std::min(255 - z, 255); }

// Integer division truncates towards zero; the wrap rules keep z + 256 within 1..511.
std::array<int, 2> StarCrawl::Project(const Star& star, int w, int h) {
  return {100 * star.x / (star.z + 256) + w / 2, 100 * star.y / (star.z + 256) + h / 2};
}

void StarCrawl::Put(int x, int y, std::uint32_t colour) {
  if (x >= 0 && y >= 0 && x < m_w && y < m_h) m_pixels[static_cast<std::size_t>(y) * m_w + x] = colour;
}

void StarCrawl::DrawStars() {
  std::fill(m_pixels.begin(), m_pixels.end(), 0);
  for (Star& star : m_stars) {
    star.z -= m_starSpeed;
    if (star.z > 255) star.z = -255;
    if (star.z < -255) star.z = 255;
    const auto [sx, sy] = Project(star, m_w, m_h);
    // A dot of 3 x 3 pixels, round-ish: the outline on the four sides, filled white, no corners.
    const std::uint32_t outline = Grey(StarGrey(star.z));
    Put(sx + 1, sy, outline);
    Put(sx, sy + 1, outline);
    Put(sx + 2, sy + 1, outline);
    Put(sx + 1, sy + 2, outline);
    Put(sx + 1, sy + 1, kWhite);
  }
}

void StarCrawl::DrawCrawl() {
  // The lines into the text buffer, each in the level of yellow its top's height gives it.
  std::fill(m_text.begin(), m_text.end(), 0);
  m_ink.assign(static_cast<std::size_t>(m_h), false);
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    const LineMask& line = m_lines[i];
    const int y = line.height * static_cast<int>(i) + m_scrollPos;
    if (y <= 0 || y >= m_h) continue;  // a line vanishes whole once its top reaches the top edge
    const auto level = static_cast<int>(CrawlTextColor(y) >> 16);
    const int x = m_w / 2 - line.width / 2;
    const int rows = std::min(line.height, m_h - y);
    for (int row = 0; row < rows; ++row) {
      const std::uint8_t* from = line.coverage.data() + static_cast<std::size_t>(row) * line.width;
      std::uint8_t* to = m_text.data() + static_cast<std::size_t>(y + row) * m_w;
      std::uint8_t ink = 0;
      for (int col = std::max(0, -x); col < line.width && x + col < m_w; ++col) {
        const auto value = static_cast<std::uint8_t>((level * from[col] + 127) / 255);
        to[x + col] = std::max(to[x + col], value);
        ink |= value;
      }
      if (ink) m_ink[y + row] = true;
    }
  }
  // Row r narrowed to (r / h) * w and centred, ORed over the stars. Each target pixel takes the
  // mean of the source pixels it stands for, so the text thins out smoothly into the distance.
  for (int r = 0; r < m_h; ++r) {
    const int width = static_cast<int>((static_cast<double>(r) / m_h) * m_w);
    if (width <= 0 || !m_ink[r]) continue;
    const int x = (m_w - width) / 2;
    const std::uint8_t* from = m_text.data() + static_cast<std::size_t>(r) * m_w;
    std::uint32_t* to = m_pixels.data() + static_cast<std::size_t>(r) * m_w + x;
    for (int col = 0, begin = 0, end = 0; col < width; ++col, begin = end) {
      end = (col + 1) * m_w / width;
      int sum = 0;
      for (int s = begin; s < end; ++s) sum += from[s];
      const auto level = static_cast<std::uint32_t>(sum / (end - begin));
      to[col] |= level << 16 | level << 8;
    }
  }
  m_scrollPos -= m_scrollStep;
  if (m_scrollPos + m_h < 0) m_scrollPos = m_h;
}

}  // namespace horavex
