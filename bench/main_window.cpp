// The main window under a flood: the TimeUdp server, started from the profile, answers a
// closed-loop UDP load from 127.0.0.1 for a bounded time while the main window is up. A 150 ms
// timer on the same event loop as the window's refresh measures how late ticks come, work posted
// from another thread measures how long the window takes to react, and the server's status field
// is read every second: it must keep rising. Resident memory before and after.
//   xvfb-run -s "-screen 0 1024x768x24" main_window [SECONDS]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <unistd.h>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include "app/window/main_dialog.h"
#include "common/dialup.h"
#include "common/profile.h"
#include "gui/gui_runtime.h"
#include "load_generator.h"
#include "platform/simulated_clock.h"
#include "platform/sound.h"
#include "proc_stat.h"
#include "support/fake_dialup_port.h"
#include "support/loopback_probe.h"
#include "support/temp_dir.h"

namespace {

using namespace horavex;
using Steady = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  setenv("GDK_GL", "disable", 0);  // as the program does
  wxApp::SetInstance(new wxApp());
  if (!wxEntryStart(argc, argv)) return std::puts("no display"), 1;
  {
    testing::TempDir dir;
    const std::uint16_t port = testing::FreePort();
    std::ofstream(dir.File("horavex.ini")) << "[TIME SERVER UDP]\nStartUp=1\nPort=" << port << "\n";
    Profile profile(dir.File("horavex.ini"));
    SimulatedClock clock;
    GuiRuntime runtime;
    if (runtime.Start()) return 1;
    const Executors executors = runtime.GetExecutors();
    DialupService dialup(std::make_unique<testing::FakeDialupPort>(), executors.logic);
    auto sounds = MakeSystemSoundPlayer();
    auto* main = new CMainDlg({executors, profile, clock, dialup}, *sounds);
    main->Create();
    auto* status = dynamic_cast<wxStaticText*>(main->FindWindow("IDC_SERVER_STATUS_1"));

    wxGUIEventLoop loop;
    double worstTickMs = 0, worstReactionMs = 0;
    auto lastTick = Steady::now();
    wxTimer tick;
    tick.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
      const auto now = Steady::now();
      worstTickMs = std::max(worstTickMs, Ms(now - lastTick).count() - 150);
      lastTick = now;
    });
    long lastCount = -1, falls = 0;
    wxTimer sample;
    sample.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
      const long count = std::atol(status->GetLabel().utf8_str());
      if (count <= lastCount) ++falls;
      lastCount = count;
    });
    const long rssBefore = bench::ResidentKb(getpid());
    std::atomic<bool> flooding = true;
    bench::LoadResult load;
    std::thread flood([&] {
      load = bench::RunUdpLoad(port, 4, {std::chrono::seconds(seconds), 50'000'000, 16});
      flooding = false;
    });
    // Every 50 ms, work posted from this thread: how long until the window thread runs it.
    std::thread pinger([&] {
      while (flooding) {
        const auto sent = Steady::now();
        wxTheApp->CallAfter([&, sent] { worstReactionMs = std::max(worstReactionMs, Ms(Steady::now() - sent).count()); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      wxTheApp->CallAfter([&] { loop.Exit(); });
    });
    tick.Start(150);
    sample.Start(1000);
    loop.Run();
    flood.join();
    pinger.join();
    const long rssAfter = bench::ResidentKb(getpid());

    std::printf("flood: %.0f answers/s for %.1f s, %llu failures\n", load.PerSecond(), load.seconds,
                static_cast<unsigned long long>(load.failures));
    std::printf("worst lateness of a 150 ms tick:   %6.1f ms (aim: under 200)\n", worstTickMs);
    std::printf("worst reaction to posted work:     %6.1f ms\n", worstReactionMs);
    std::printf("status field samples not rising:   %ld (last %ld)\n", falls, lastCount);
    std::printf("resident memory before/after:      %ld / %ld kB\n", rssBefore, rssAfter);
    delete main;
  }
  wxEntryCleanup();
}
