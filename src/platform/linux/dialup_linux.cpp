#include "platform/linux/dialup_linux.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>

namespace horavex {
namespace {

using std::chrono::milliseconds;

bool StartsWith(const std::string& s, std::string_view prefix) { return s.rfind(prefix, 0) == 0; }

bool IsModemInterface(const InterfaceState& i) {
  return (StartsWith(i.name, "ppp") || StartsWith(i.name, "wwan")) && (i.flags & IFF_UP) != 0;
}

// The interfaces of this machine (an interface with several addresses is listed more than once).
std::vector<InterfaceState> ListInterfaces() {
  std::vector<InterfaceState> list;
  ifaddrs* all = nullptr;
  if (getifaddrs(&all) != 0) return list;
  for (const ifaddrs* i = all; i != nullptr; i = i->ifa_next)
    if (i->ifa_name) list.push_back({i->ifa_name, i->ifa_flags});
  freeifaddrs(all);
  return list;
}

bool IsPppUp() {
  for (const InterfaceState& i : ListInterfaces())
    if (StartsWith(i.name, "ppp") && (i.flags & IFF_UP) != 0) return true;
  return false;
}

// A dial program that did not succeed: busy when it ran out of time, else failed with its status.
DialResult FailureOf(const ProgramResult& r) {
  switch (r.outcome) {
    case ProgramResult::Outcome::kExited: return DialResult::Failed(r.code);
    case ProgramResult::Outcome::kSignalled: return DialResult::Failed(128 + r.code);
    case ProgramResult::Outcome::kTimedOut: return DialResult::Busy();
    case ProgramResult::Outcome::kCancelled: return DialResult::Failed(ECANCELED);
    case ProgramResult::Outcome::kNotStarted:
    case ProgramResult::Outcome::kUnknown: return DialResult::Failed(r.code != 0 ? r.code : EIO);
  }
  return DialResult::Failed(EIO);
}

// What nmcli's "connection up" came to: busy for a timeout or a failed activation (exit 3 or 4,
// or killed at its bound). The handle is the caller's to give.
DialResult DialResultOfNmcli(const ProgramResult& result) {
  if (result.Succeeded()) return DialResult::Connected(0);
  // 3: the activation timed out, 4: it failed; both may go well on a later try.
  if (result.outcome == ProgramResult::Outcome::kExited && (result.code == 3 || result.code == 4))
    return DialResult::Busy();
  return FailureOf(result);
}

class LinuxDialupPort final : public DialupPort {
 public:
  explicit LinuxDialupPort(LinuxDialupOptions options) : m_options(options) {}

  ConnectedState GetConnectedState() override { return ConnectedStateOf(ListInterfaces()); }

  DialResult Dial(const std::string& name) override {
    if (m_cancelled) return DialResult::Failed(ECANCELED);
    const bool viaNm = IsOnPath("nmcli");
    DialResult r = viaNm ? DialNm(name) : DialPpp(name);
    if (r.outcome != DialOutcome::Connected) return r;
    std::lock_guard lock(m_mutex);
    r.handle = ++m_lastHandle;
    m_dialled[r.handle] = Dialled{name, viaNm};
    return r;
  }

  void HangUp(DialHandle handle) override {
    Dialled d;
    {
      std::lock_guard lock(m_mutex);
      const auto it = m_dialled.find(handle);
      if (it == m_dialled.end()) return;
      d = it->second;
      m_dialled.erase(it);
    }
    if (d.viaNm) RunProgram({"nmcli", "connection", "down", "id", d.name}, m_options.commandLimit);
    else RunProgram({"poff", d.name}, m_options.commandLimit);
  }

  void Pause(milliseconds duration) override {
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, duration, [this] { return m_cancelled.load(); });
  }

  void Cancel() override {
    {
      std::lock_guard lock(m_mutex);
      m_cancelled = true;
    }
    m_wake.notify_all();
  }

 private:
  struct Dialled {
    std::string name;
    bool viaNm = false;
  };

  DialResult DialNm(const std::string& name) {
    const auto limit = std::chrono::duration_cast<milliseconds>(m_options.nmcliWait) + m_options.commandSlack;
    return DialResultOfNmcli(RunProgram(
        {"nmcli", "--wait", std::to_string(m_options.nmcliWait.count()), "connection", "up", "id", name}, limit,
        &m_cancelled));
  }

  // pon only starts pppd; the connection is there once a ppp interface is up.
  DialResult DialPpp(const std::string& name) {
    const ProgramResult started = RunProgram({"pon", name}, m_options.commandLimit, &m_cancelled);
    if (!started.Succeeded()) return FailureOf(started);
    const auto deadline = std::chrono::steady_clock::now() + m_options.pppUpWait;
    while (!IsPppUp()) {
      if (m_cancelled || std::chrono::steady_clock::now() >= deadline) {
        // Stop pppd's attempt, or a second dial would start a second pppd beside it.
        RunProgram({"poff", name}, m_options.commandLimit);
        return m_cancelled ? DialResult::Failed(ECANCELED) : DialResult::Busy();
      }
      Pause(m_options.pollStep);
    }
    return DialResult::Connected(0);
  }

  const LinuxDialupOptions m_options;
  std::atomic<bool> m_cancelled{false};
  std::mutex m_mutex;
  std::condition_variable m_wake;
  DialHandle m_lastHandle = 0;
  std::map<DialHandle, Dialled> m_dialled;
};

}  // namespace

ConnectedState ConnectedStateOf(std::span<const InterfaceState> interfaces) {
  ConnectedState state;
  for (const InterfaceState& i : interfaces) {
    if ((i.flags & IFF_LOOPBACK) != 0) continue;
    if ((i.flags & IFF_UP) != 0 && (i.flags & IFF_RUNNING) != 0) state.connected = true;
    if (IsModemInterface(i)) state.modem = true;
  }
  return state;
}

std::unique_ptr<DialupPort> MakeLinuxDialupPort(LinuxDialupOptions options) {
  return std::make_unique<LinuxDialupPort>(options);
}

std::unique_ptr<DialupPort> MakeSystemDialupPort() { return MakeLinuxDialupPort({}); }

}  // namespace horavex
