// The about window over a plain owner: it runs its crawl, keeps its owner disabled, and Enter or
// Escape closes it and gives the owner back.
#include <gtest/gtest.h>
#include <wx/frame.h>

#include "about/window/about_dialog.h"
#include "about/window/star_crawl_ctrl.h"
#include "gui/event_pump.h"

namespace horavex {
namespace {

using namespace std::chrono_literals;

TEST(AboutWindow, CrawlsOverItsDisabledOwnerUntilEnterOrEscape) {
  auto* owner = new wxFrame(nullptr, wxID_ANY, "Horavex");
  owner->Show();
  std::array<Star, StarCrawl::kStarCount> previous{};
  for (const int key : {WXK_ESCAPE, WXK_RETURN}) {
    OpenAboutWindow(owner);
    CAboutDlg* about = nullptr;
    for (wxWindow* child : owner->GetChildren()) about = about ? about : dynamic_cast<CAboutDlg*>(child);
    ASSERT_NE(about, nullptr);
    const StarCrawl& crawl = about->Crawl()->Crawl();
    EXPECT_FALSE(owner->IsEnabled());
    EXPECT_EQ(crawl.Width() * 1000 + crawl.Height(), about->GetClientSize().x * 1000 + about->GetClientSize().y);
    EXPECT_NE(crawl.Stars()[0].x * 1000 + crawl.Stars()[0].y, previous[0].x * 1000 + previous[0].y);
    previous = crawl.Stars();
    EXPECT_TRUE(RunEventsUntil([&] { return crawl.FrameCount() >= 4; }, 2s)) << "a frame every 75 ms";
    EXPECT_EQ(crawl.ScrollPos(), crawl.Height() - 2 * crawl.FrameCount());

    wxKeyEvent press(wxEVT_CHAR_HOOK);
    press.m_keyCode = key;
    press.SetEventObject(about);
    about->ProcessWindowEvent(press);
    EXPECT_TRUE(owner->IsEnabled()) << key;
    EXPECT_FALSE(about->IsShown());
    RunEventsUntil([] { return false; }, 50ms);  // the window goes at the next idle time
  }
  owner->Destroy();
  RunEventsUntil([] { return false; }, 50ms);
}

}  // namespace
}  // namespace horavex
