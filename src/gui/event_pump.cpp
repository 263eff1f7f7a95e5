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
    // Work queued by CallAfter, and windows that Destroy() left for later, wait for the loop's
    // idle time; run both as the loop would, so that no window outlives the test that closed it.
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle();
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
