// The about window over a plain owner: it runs its crawl, keeps its owner disabled, and Enter or
// Escape closes it and gives the owner back. A second opening continues the star sequence.
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
  Star previous;
  for (const int key : {WXK_ESCAPE, WXK_RETURN}) {
    OpenAboutWindow(owner);
    auto* about = dynamic_cast<CAboutDlg*>(owner->GetChildren().GetLast()->GetData());
    ASSERT_NE(about, nullptr);
    const StarCrawl& crawl = about->Crawl()->Crawl();
    EXPECT_EQ(wxSize(crawl.Width(), crawl.Height()), about->GetClientSize());
    EXPECT_NE(std::pair(crawl.Stars()[0].x, crawl.Stars()[0].y), std::pair(previous.x, previous.y));
    previous = crawl.Stars()[0];
    EXPECT_TRUE(RunEventsUntil([&] { return crawl.FrameCount() >= 4; }, 2s)) << "a frame every 75 ms";
    EXPECT_EQ(crawl.ScrollPos(), crawl.Height() - 2 * crawl.FrameCount());
    EXPECT_FALSE(owner->IsEnabled());
    wxKeyEvent press(wxEVT_CHAR_HOOK);
    press.m_keyCode = key;
    about->ProcessWindowEvent(press);
    EXPECT_TRUE(owner->IsEnabled() && !about->IsShown()) << key;
    RunEventsUntil([] { return false; }, 50ms);  // the window goes at the next idle time
  }
  owner->Destroy();
}

}  // namespace
}  // namespace horavex
