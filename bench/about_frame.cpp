// What the about window costs: composing one frame at the window's size with the text filling it
// (the whole crawl in view that fits), as compositing alone and with the frame made a bitmap; then
// the CPU the running window takes while it animates.
//   xvfb-run -a -s "-screen 0 1024x768x24" about_frame [SECONDS]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>

#include "about/window/about_dialog.h"
#include "about/window/star_crawl_ctrl.h"
#include "gui/event_pump.h"
#include "proc_stat.h"

namespace {

using namespace horavex;
using Ms = std::chrono::duration<double, std::milli>;
using Clock = std::chrono::steady_clock;

constexpr int kFrames = 2000;

// Times `frame` kFrames times; prints median and 99th percentile.
template <class F> void Time(const char* what, F frame) {
  std::vector<double> times;
  for (int i = 0; i < kFrames; ++i) {
    const auto start = Clock::now();
    frame();
    times.push_back(Ms(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  std::printf("%-34s median %6.3f ms  p99 %6.3f ms  (%d frames)\n", what, times[kFrames / 2], times[kFrames * 99 / 100], kFrames);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  wxApp::SetInstance(new wxApp());
  if (!wxEntryStart(argc, argv)) return std::puts("no display"), 1;
  {
    auto* owner = new wxFrame(nullptr, wxID_ANY, "Horavex");
    owner->Show();
    OpenAboutWindow(owner);
    CAboutDlg* about = nullptr;
    for (wxWindow* child : owner->GetChildren()) about = about ? about : dynamic_cast<CAboutDlg*>(child);
    if (!about) return std::puts("no about window"), 1;
    CStarCrawlCtrl& control = *about->Crawl();
    StarCrawl crawl = control.Crawl();  // a copy with the same lines, off the window
    std::printf("frame %d x %d pixels (328 x 255 dialog units), 32 lines\n", crawl.Width(), crawl.Height());
    Time("compose (text from the top edge)", [&] {
      crawl.SetScrollPos(1);
      crawl.ComposeFrame();
    });
    Time("compose + frame to bitmap", [&] {
      control.Crawl().SetScrollPos(1);
      control.Crawl().ComposeFrame();
      control.ShowFrame();
    });

    const long framesBefore = control.Crawl().FrameCount();
    const double cpuBefore = bench::ProcessCpuSeconds(getpid());
    const auto start = Clock::now();
    RunLoopFor(std::chrono::seconds(seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = bench::ProcessCpuSeconds(getpid()) - cpuBefore;
    std::printf("running window, %.1f s: %ld frames, CPU %.2f %% of a core\n", wall,
                control.Crawl().FrameCount() - framesBefore, 100 * cpu / wall);
    owner->Destroy();
  }
  wxEntryCleanup();
}
