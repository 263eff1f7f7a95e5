// What the windows cost: making the four server and five client windows hidden (as the
// program's start does), showing a client window until its first paint, and the CPU the program
// takes while idle with the nine made, and the resident memory that opening and closing each box
// of a client window (the information window, the settings window, a warning, the about window)
// 450 times leaves behind. The TimeTcp server listens on loopback and the TimeTcp client asks it,
// from a simulated clock.
//   xvfb-run -s "-screen 0 1024x768x24" gui_windows [HOLD_SECONDS [info]]
// HOLD_SECONDS keeps the shown window up that long at the end, after one request, for a
// screenshot; "info" opens its information window as well.
#include <sys/resource.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/init.h>

#include "about/window/about_dialog.h"
#include "client/window/client_dialog.h"
#include "client/window/client_info_dialog.h"
#include "common/dialup.h"
#include "common/window/common_settings_dialog.h"
#include "common/profile.h"
#include "gui/event_pump.h"
#include "gui/gui_runtime.h"
#include "gui/window_modal.h"
#include "platform/simulated_clock.h"
#include "server/window/server_dialog.h"
#include "support/fake_dialup_port.h"
#include "support/fake_sound_player.h"
#include "support/loopback_probe.h"
#include "support/temp_dir.h"

namespace {

using namespace horavex;
using Ms = std::chrono::duration<double, std::milli>;

// This process's CPU time to the microsecond: an idle window takes too little for /proc's ticks.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// This process's resident memory in kB.
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string key; status >> key;)
    if (key == "VmRSS:") return status >> key, std::atol(key.c_str());
  return 0;
}

// Prints the resident memory before and after `cycles` runs of `cycle`, after a warm-up that
// fills the caches, and what each run left behind.
void PrintMemoryPerCycle(const char* name, int cycles, const std::function<void()>& cycle) {
  for (int i = 0; i < 20; ++i) cycle();
  const long before = ResidentKb();
  for (int i = 0; i < cycles; ++i) cycle();
  const long after = ResidentKb();
  std::printf("%-20s %d openings: resident %6.1f -> %6.1f MB, %5.1f kB per opening\n", name, cycles,
              static_cast<double>(before) / 1024, static_cast<double>(after) / 1024,
              static_cast<double>(after - before) / cycles);
}

// Shows `window` until it has been painted once, then closes it as Escape would.
void ShowAndClose(wxWindow* window) {
  bool painted = false;
  window->Bind(wxEVT_PAINT, [&painted](wxPaintEvent& event) {
    painted = true;
    event.Skip();
  });
  RunEventsUntil([&] { return painted; }, std::chrono::seconds(2));
  window->Close();
  RunLoopFor(std::chrono::milliseconds(5));
}

// The window opened last over `owner`.
wxWindow* Newest(wxWindow& owner) { return owner.GetChildren().GetLast()->GetData(); }

}  // namespace

int main(int argc, char** argv) {
  const int hold = argc > 1 ? std::atoi(argv[1]) : 0;
  wxApp::SetInstance(new wxApp());
  if (!wxEntryStart(argc, argv)) return std::puts("no display"), 1;
  {
    testing::TempDir dir;
    const auto port = std::to_string(testing::FreePort());
    std::ofstream(dir.File("horavex.ini")) << "[TIME SERVER TCP]\nStartUp=1\nPort=" << port
                                           << "\n[TIME CLIENT TCP]\nServer=127.0.0.1\nPort=" << port << "\n";
    Profile profile(dir.File("horavex.ini"));
    SimulatedClock clock;
    GuiRuntime runtime;
    if (runtime.Start()) return 1;
    const Executors executors = runtime.GetExecutors();
    DialupService dialup(std::make_unique<testing::FakeDialupPort>(), executors.logic);

    const auto start = std::chrono::steady_clock::now();
    Station station(ClientServices{executors, profile, clock, dialup}, nullptr, asio::ip::address_v4::loopback());
    std::array<std::unique_ptr<CTimeServerDlg>, kServerKindCount> servers;
    for (int i = 0; i < kServerKindCount; ++i) {
      servers[i] = std::make_unique<CTimeServerDlg>(station, static_cast<ServerKind>(i));
      servers[i]->Create(nullptr);
    }
    std::array<std::unique_ptr<CTimeClientDlg>, kClientKindCount> clients;
    for (int i = 0; i < kClientKindCount; ++i) {
      clients[i] = std::make_unique<CTimeClientDlg>(station, kClientKinds[i]);
      clients[i]->Create(nullptr);
    }
    station.Start();
    const auto made = std::chrono::steady_clock::now();
    bool painted = false;
    clients[0]->Bind(wxEVT_PAINT, [&painted](wxPaintEvent& event) {
      painted = true;
      event.Skip();
    });
    clients[0]->Show();
    RunEventsUntil([&] { return painted; }, std::chrono::seconds(5));
    const auto shown = std::chrono::steady_clock::now();

    constexpr auto kIdle = std::chrono::seconds(3);
    const double cpuBefore = CpuSeconds();
    RunLoopFor(kIdle);
    const double idleShare = (CpuSeconds() - cpuBefore) / std::chrono::duration<double>(kIdle).count();

    std::printf("nine windows made hidden:        %7.1f ms\n", Ms(made - start).count());
    std::printf("a client shown to its first paint:%6.1f ms%s\n", Ms(shown - made).count(), painted ? "" : " (no paint)");
    std::printf("idle, nine made, one shown:      %7.2f %% of a core\n", idleShare * 100);
    constexpr int kCycles = 450;
    CTimeClientDlg& owner = *clients[0];
    AnswerArea answer{0x1C, 2, 6, 0xEC};  // an SNTP answer: its whole dump shows
    answer[40] = 0xEE;
    PrintMemoryPerCycle("information window", kCycles,
                        [&] { ShowAndClose(ShowClientInfo(&owner, profile, ClientKind::SntpUdp, answer)); });
    testing::FakeSoundPlayer sounds;
    PrintMemoryPerCycle("settings window", kCycles, [&] {
      OpenCommonSettings(&owner, profile, sounds, executors);
      ShowAndClose(Newest(owner));
    });
    PrintMemoryPerCycle("warning box", kCycles, [&] { ShowAndClose(ShowWarningBox(&owner, "Tijd", "Fout", {})); });
    PrintMemoryPerCycle("about window", kCycles, [&] {
      OpenAboutWindow(&owner);
      ShowAndClose(Newest(owner));
    });
    if (hold > 0) {
      clients[0]->Client().DoSynchro();
      RunLoopFor(std::chrono::seconds(1));
      if (argc > 2 && std::string(argv[2]) == "info") ShowClientInfo(clients[0].get(), profile, ClientKind::TimeTcp, clients[0]->Client().Answer());
      RunLoopFor(std::chrono::seconds(hold));
    }
  }
  wxEntryCleanup();
}
