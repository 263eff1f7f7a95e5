// What the windows cost: making the four server windows hidden (as the program's start does),
// showing one until its first paint, and the CPU the program takes while idle.
//   xvfb-run -s "-screen 0 1024x768x24" gui_windows [HOLD_SECONDS]
// HOLD_SECONDS keeps the shown window up that long at the end, for a screenshot.
#include <sys/resource.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/timer.h>

#include "common/profile.h"
#include "gui/event_pump.h"
#include "gui/gui_runtime.h"
#include "platform/simulated_clock.h"
#include "server/window/server_dialog.h"
#include "support/temp_dir.h"

namespace {

using namespace horavex;
using Ms = std::chrono::duration<double, std::milli>;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs wx's own loop for `span`: woken only by what the windows ask for and by the one timer that ends it.
void RunLoopFor(std::chrono::milliseconds span) {
  wxGUIEventLoop loop;
  wxTimer stop;
  stop.Bind(wxEVT_TIMER, [&loop](wxTimerEvent&) { loop.Exit(); });
  stop.StartOnce(static_cast<int>(span.count()));
  loop.Run();
}

}  // namespace

int main(int argc, char** argv) {
  const int hold = argc > 1 ? std::atoi(argv[1]) : 0;
  wxApp::SetInstance(new wxApp());
  if (!wxEntryStart(argc, argv)) return std::puts("no display"), 1;
  {
    testing::TempDir dir;
    Profile profile(dir.File("horavex.ini"));
    SimulatedClock clock;
    GuiRuntime runtime;
    const ServerServices services{runtime.GetExecutors(), profile, clock};

    const auto start = std::chrono::steady_clock::now();
    std::array<std::unique_ptr<CTimeServerDlg>, kServerKindCount> windows;
    for (int i = 0; i < kServerKindCount; ++i) {
      windows[i] = std::make_unique<CTimeServerDlg>(static_cast<ServerKind>(i), services);
      windows[i]->Create(nullptr);
    }
    const auto made = std::chrono::steady_clock::now();
    bool painted = false;
    windows[0]->Bind(wxEVT_PAINT, [&painted](wxPaintEvent& event) {
      painted = true;
      event.Skip();
    });
    windows[0]->Show();
    RunEventsUntil([&] { return painted; }, std::chrono::seconds(5));
    const auto shown = std::chrono::steady_clock::now();

    constexpr auto kIdle = std::chrono::seconds(3);
    const double cpuBefore = CpuSeconds();
    RunLoopFor(kIdle);
    const double idleShare = (CpuSeconds() - cpuBefore) / std::chrono::duration<double>(kIdle).count();

    std::printf("four server windows made hidden: %7.1f ms\n", Ms(made - start).count());
    std::printf("one shown to its first paint:    %7.1f ms%s\n", Ms(shown - made).count(), painted ? "" : " (no paint)");
    std::printf("idle, window shown:              %7.2f %% of a core\n", idleShare * 100);
    if (hold > 0) RunLoopFor(std::chrono::seconds(hold));
  }
  wxEntryCleanup();
}
