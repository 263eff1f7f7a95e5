// Runs wx's event loop from code that owns no wxApp::OnRun: the program's end, after its main
// loop, and tests and benchmarks that start wx with wxEntryStart.
#pragma once

#include <chrono>
#include <functional>

namespace horavex {

// Dispatches events, the logic's queued work and idle time among them (so windows closed with
// Destroy() are gone after the first round), until `done` holds or `bound` has passed; whether
// `done` held.
bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds bound);
// Runs wx's own loop for `span`, woken only by what the windows ask for and by the one timer that
// ends it: what a benchmark measures the idle cost with.
void RunLoopFor(std::chrono::milliseconds span);

}  // namespace horavex
