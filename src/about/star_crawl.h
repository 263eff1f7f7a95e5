// The about window's picture, composed without a toolkit: a field of stars flying towards the
// viewer and, ORed over it, text lines that rise from below the bottom edge, narrow in perspective
// towards the top and darken from yellow to black as they near it. The toolkit only renders each
// line once, as a coverage mask; everything per frame happens here, in a pixel buffer of our own.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace horavex {

// One star: x and y across the view (-512..512 when made), z its depth (255 far, -255 nearest).
struct Star {
  int x = 0;
  int y = 0;
  int z = 0;
};

// One text line as the toolkit rendered it: coverage 0..255, `width` x `height`, row by row. An
// empty line has width 0 and still a height: it keeps its place as a blank line.
struct LineMask {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> coverage;
};

// The process's star generator, 0..32767, never seeded: the first star field after the program
// starts is the same every time, and every further opening continues the sequence.
int StarRand();

class StarCrawl {
 public:
  static constexpr int kStarCount = 100;

  // Takes the size, makes the stars from `rand` (x, y, z per star, in that order), puts the text
  // one height below the top and composes the first frame.
  void Start(int w, int h, const std::function<int()>& rand = StarRand);
  // A new size: stars and scroll position stay; the buffer's content waits for the next frame.
  void Resize(int w, int h);
  // Moves the stars and the text one step and composes the frame into Pixels().
  void ComposeFrame();

  void SetStarSpeed(int speed) { m_starSpeed = speed; }
  void SetScrollStep(int step) { m_scrollStep = step; }
  void SetScrollPos(int pos) { m_scrollPos = pos; }
  void AddLine(LineMask line) { m_lines.push_back(std::move(line)); }

  int Width() const { return m_w; }
  int Height() const { return m_h; }
  int ScrollPos() const { return m_scrollPos; }
  long FrameCount() const { return m_frames; }
  const std::array<Star, kStarCount>& Stars() const { return m_stars; }
  // The frame, row by row, 0x00RRGGBB.
  const std::vector<std::uint32_t>& Pixels() const { return m_pixels; }

  // The colour of a line whose top is at y: RGB(L, L, 0), L = y within 0..255, as 0x00RRGGBB.
  static std::uint32_t CrawlTextColor(int y);
  // The outline grey of a star at depth z.
  static int StarGrey(int z);
  // Where a star's dot starts on the screen: {sx, sy}.
  static std::array<int, 2> Project(const Star& star, int w, int h);

 private:
  void DrawStars();
  void DrawCrawl();
  void Put(int x, int y, std::uint32_t colour);

  std::array<Star, kStarCount> m_stars{};
  int m_starSpeed = 30;
  int m_scrollStep = 2;
  int m_scrollPos = 0;
  int m_w = 0;
  int m_h = 0;
  long m_frames = 0;
  std::vector<LineMask> m_lines;
  std::vector<std::uint32_t> m_pixels;
  std::vector<std::uint8_t> m_text;  // the text buffer: the level of yellow per pixel
  std::vector<bool> m_ink;  // per row of the text buffer: whether anything was drawn in it
};

}  // namespace horavex
