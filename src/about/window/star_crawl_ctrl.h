// CStarCrawlCtrl: shows the about window's star field and credits crawl. The picture is composed by
// StarCrawl in a buffer of its own; this control renders each text line once as a coverage mask,
// runs the 75 ms tick and paints only finished frames.
#pragma once

#include <string_view>

#include <wx/bitmap.h>
#include <wx/font.h>
#include <wx/timer.h>
#include <wx/window.h>

#include "about/star_crawl.h"

namespace horavex {

// `text` in `font`, white on black, as coverage `height` pixels high (the whole line's cell).
LineMask RenderLineMask(const wxFont& font, int height, std::string_view text);

class CStarCrawlCtrl : public wxWindow {
 public:
  // Makes the control, seeds its stars, composes a first frame and starts the tick.
  CStarCrawlCtrl(wxWindow* parent, const wxPoint& pos, const wxSize& size);

  void SetStarSpeed(int speed) { m_crawl.SetStarSpeed(speed); }
  void SetScrollStep(int step) { m_crawl.SetScrollStep(step); }
  // Appends a line; it shows from the next frame on. An empty text is a blank line.
  void AddLine(std::string_view text);
  const StarCrawl& Crawl() const { return m_crawl; }
  StarCrawl& Crawl() { return m_crawl; }
  // Shows the frame StarCrawl last composed.
  void ShowFrame();

 private:
  void OnPaint(wxPaintEvent& event);
  void OnSize(wxSizeEvent& event);

  StarCrawl m_crawl;
  wxFont m_font;
  int m_lineHeight = 0;
  wxTimer m_timer{this, 1};
  wxBitmap m_frame;  // the last finished frame, as painted
};

}  // namespace horavex
