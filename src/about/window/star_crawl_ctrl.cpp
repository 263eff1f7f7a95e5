#include "about/window/star_crawl_ctrl.h"

#include <algorithm>

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/rawbmp.h>

namespace horavex {
namespace {

constexpr int kTickMs = 75;
constexpr int kCellHeight = 24;

int CellHeight(const wxFont& font) {
  wxMemoryDC dc;
  dc.SetFont(font);
  return dc.GetTextExtent("Ag").y;
}

// A bold sans like the one the crawl was drawn for, as large as fits a cell of 24 pixels. A font's
// pixel size is its cell height on some back ends and its em size on others, so it is measured.
wxFont CrawlFont() {
  wxFont font;
  for (int pixels = kCellHeight; pixels > 8; --pixels) {
    font = wxFont(wxFontInfo(wxSize(0, pixels)).FaceName("DejaVu Sans").Family(wxFONTFAMILY_SWISS).Bold());
    if (CellHeight(font) <= kCellHeight) break;
  }
  return font;
}

}  // namespace

LineMask RenderLineMask(const wxFont& font, int height, std::string_view text) {
  const wxString line = wxString::FromUTF8(text.data(), text.size());
  LineMask mask{0, height, {}};
  if (line.empty()) return mask;
  wxMemoryDC dc;
  dc.SetFont(font);
  mask.width = dc.GetTextExtent(line).x;  // a trailing blank counts
  wxBitmap bitmap(mask.width, height, 24);
  dc.SelectObject(bitmap);
  dc.SetBackground(*wxBLACK_BRUSH);
  dc.Clear();
  dc.SetTextForeground(*wxWHITE);
  dc.DrawText(line, 0, 0);
  dc.SelectObject(wxNullBitmap);
  const wxImage image = bitmap.ConvertToImage();
  const unsigned char* rgb = image.GetData();
  mask.coverage.resize(static_cast<std::size_t>(mask.width) * height);
  for (std::size_t i = 0; i < mask.coverage.size(); ++i, rgb += 3) mask.coverage[i] = std::max({rgb[0], rgb[1], rgb[2]});
  return mask;
}

CStarCrawlCtrl::CStarCrawlCtrl(wxWindow* parent, const wxPoint& pos, const wxSize& size)
    : m_font(CrawlFont()), m_lineHeight(CellHeight(m_font)) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);  // every pixel comes from the frame: no erasing, no flicker
  Create(parent, wxID_ANY, pos, size, wxBORDER_NONE);
  Bind(wxEVT_PAINT, &CStarCrawlCtrl::OnPaint, this);
  Bind(wxEVT_SIZE, &CStarCrawlCtrl::OnSize, this);
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    m_crawl.ComposeFrame();
    ShowFrame();
  }, m_timer.GetId());
  const wxSize client = GetClientSize();
  m_crawl.Start(client.x, client.y);
  ShowFrame();
  m_timer.Start(kTickMs);
}

void CStarCrawlCtrl::AddLine(std::string_view text) { m_crawl.AddLine(RenderLineMask(m_font, m_lineHeight, text)); }

void CStarCrawlCtrl::ShowFrame() {
  const int w = m_crawl.Width();
  const int h = m_crawl.Height();
  if (w == 0 || h == 0) return;
  if (!m_frame.IsOk() || m_frame.GetSize() != wxSize(w, h)) m_frame.Create(w, h, 24);
  wxNativePixelData data(m_frame);
  if (!data) return;
  const std::uint32_t* pixel = m_crawl.Pixels().data();
  wxNativePixelData::Iterator row(data);
  for (int y = 0; y < h; ++y, row.OffsetY(data, 1)) {
    wxNativePixelData::Iterator to = row;
    for (int x = 0; x < w; ++x, ++to, ++pixel) {
      to.Red() = static_cast<unsigned char>(*pixel >> 16);
      to.Green() = static_cast<unsigned char>(*pixel >> 8);
      to.Blue() = static_cast<unsigned char>(*pixel);
    }
  }
  Refresh(false);
}

void CStarCrawlCtrl::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  const wxSize client = GetClientSize();
  if (!m_frame.IsOk()) {
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
  } else if (m_frame.GetSize() == client) {
    dc.DrawBitmap(m_frame, 0, 0);
  } else {
    // Resized since the last tick: the last frame, stretched, until the next one is composed.
    wxMemoryDC frame(m_frame);
    dc.StretchBlit(0, 0, client.x, client.y, &frame, 0, 0, m_frame.GetWidth(), m_frame.GetHeight());
  }
}

void CStarCrawlCtrl::OnSize(wxSizeEvent& event) {
  const wxSize client = GetClientSize();
  if (client.x != m_crawl.Width() || client.y != m_crawl.Height()) m_crawl.Resize(client.x, client.y);
  Refresh(false);
  event.Skip();
}

}  // namespace horavex
