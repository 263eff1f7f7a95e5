// Runs wx's event loop from code that owns no wxApp::OnRun: tests and benchmarks that start wx
// with wxEntryStart.
#pragma once

#include <chrono>
#include <functional>

namespace horavex {

// Dispatches events, the logic's queued work among them, until `done` holds or `bound` has
// passed; whether `done` held.
bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds bound);

}  // namespace horavex
