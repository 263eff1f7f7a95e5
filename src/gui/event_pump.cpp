#include "gui/event_pump.h"

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/timer.h>

namespace horavex {

bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
  wxGUIEventLoop loop;
  wxEventLoopActivator active(&loop);
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // Work queued by CallAfter waits for the loop's idle time; run it as the loop would.
    wxTheApp->ProcessPendingEvents();
    if (done()) break;
    loop.DispatchTimeout(10);
  }
  return true;
}

void RunLoopFor(std::chrono::milliseconds span) {
  wxGUIEventLoop loop;
  wxTimer stop;
  stop.Bind(wxEVT_TIMER, [&loop](wxTimerEvent&) { loop.Exit(); });
  stop.StartOnce(static_cast<int>(span.count()));
  loop.Run();
}

}  // namespace horavex
