#include "platform/clock.h"

#include <cerrno>
#include <utility>

namespace horavex {
SystemTime SystemTimeAt(std::chrono::nanoseconds unixTime) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(unixTime);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(unixTime - seconds);
  return SystemTimeFromUnix(seconds.count(), static_cast<int>(millis.count()));
}

const char* SetWayName(SetWay way) {
  switch (way) {
    case SetWay::kDirect: return "clock_adjtime";
    case SetWay::kTimedated: return "systemd-timedated";
    case SetWay::kNone: break;
  }
  return "";
}

bool ClockSetTicket::Withdraw() {
  SetStage queued = SetStage::kQueued;
  return m_stage.compare_exchange_strong(queued, SetStage::kWithdrawn);
}

bool ClockSetTicket::Begin() {
  SetStage queued = SetStage::kQueued;
  return m_stage.compare_exchange_strong(queued, SetStage::kAuthorising);
}

std::int64_t Clock::Time() { return std::chrono::floor<std::chrono::seconds>(Now()).count(); }

ClockSetResult Clock::WorkOut(const ClockAnchor& anchor) {
  const std::chrono::nanoseconds monotonic = Monotonic();
  const std::chrono::nanoseconds now = Now();
  ClockSetResult r;
  r.correction = anchor.truth + (monotonic - anchor.monotonic) - now;
  if (anchor.wholeSeconds) r.correction = std::chrono::round<std::chrono::seconds>(r.correction);
  r.target = now + r.correction;
  return r;
}

std::shared_ptr<ClockSetTicket> Clock::Set(const ClockAnchor& anchor, Deadline deadline, ClockSetCalls calls) {
  auto ticket = std::make_shared<ClockSetTicket>();
  bool waits = false;
  std::function<void()> waiting = calls.waiting;
  {
    std::lock_guard lock(m_mutex);
    if (m_closed) return ticket;
    waits = m_current != nullptr || !m_queue.empty();
    m_queue.push_back({anchor, deadline, ticket, std::move(calls), waits});
  }
  if (waits && waiting) waiting();
  BeginNext();
  return ticket;
}

SetStage Clock::CurrentStage() {
  std::lock_guard lock(m_mutex);
  if (m_current) return m_current->Stage();
  return m_queue.empty() ? SetStage::kEnded : SetStage::kQueued;
}

void Clock::BeginNext() {
  Queued next;
  {
    std::lock_guard lock(m_mutex);
    for (;;) {
      if (m_closed || m_current || m_queue.empty()) return;
      next = std::move(m_queue.front());
      m_queue.pop_front();
      if (next.ticket->Begin()) break;  // else withdrawn: nobody waits for it
    }
    m_current = next.ticket;
  }
  auto done = std::make_shared<std::function<void(ClockSetResult)>>(std::move(next.calls.done));
  SetSteps steps;
  steps.waiting = std::move(next.calls.waiting);
  steps.report = [done, waited = next.waited](ClockSetResult result) {
    result.waited = result.waited || waited;
    if (*done) std::exchange(*done, nullptr)(result);
  };
  steps.finished = [this, ticket = next.ticket] {
    {
      std::lock_guard lock(m_mutex);
      if (m_current == ticket) m_current = nullptr;
    }
    BeginNext();
  };
  if (std::chrono::steady_clock::now() > next.deadline) {
    // Its turn came too late: nothing is asked, so nothing can be applied later.
    next.ticket->Advance(SetStage::kEnded);
    steps.report({ETIMEDOUT});
    steps.finished();
    return;
  }
  SetOne(next.anchor, next.deadline, next.ticket, std::move(steps));
}

void Clock::SetOne(const ClockAnchor& anchor, Deadline, std::shared_ptr<ClockSetTicket> ticket, SetSteps steps) {
  ticket->Advance(SetStage::kSent);
  ClockSetResult r = WorkOut(anchor);
  r.error = StepBy(r.correction);
  r.way = r.error == 0 ? SetWay::kDirect : SetWay::kNone;
  ticket->Advance(SetStage::kEnded);
  steps.report(r);
  steps.finished();
}

void Clock::CloseQueue() {
  std::deque<Queued> dropped;
  std::lock_guard lock(m_mutex);
  m_closed = true;
  dropped.swap(m_queue);
}

}  // namespace horavex
