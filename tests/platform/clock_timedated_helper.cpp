// Sets the clock through the system clock's seam only where that cannot reach the real clock: the
// kernel must refuse this process (no CAP_SYS_TIME), and the system bus must be a private one, so
// the set goes on to a mocked systemd-timedated.
//   clock_timedated_helper DEADLINE_MS CORRECTION_MS [--invalid | --again]
// Prints "waiting" when a set waits, and "errno N via WAY waited W pending P" for each completion;
// --again asks a second set while the first is under way; --invalid asks for a time before 1970.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/clock.h"

namespace {

bool MayHoldSysTime() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) return true;
  const auto& word = data[CAP_SYS_TIME / 32];
  return ((word.effective | word.permitted) & (1u << (CAP_SYS_TIME % 32))) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace horavex;
  using namespace std::chrono;
  const char* bus = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  if (argc < 3 || MayHoldSysTime() || bus == nullptr || std::strstr(bus, "/run/dbus") != nullptr) {
    std::puts("refused: the right to set the clock, or the machine's own bus");
    return 2;
  }
  const std::string mode = argc > 3 ? argv[3] : "";
  auto clock = MakeSystemClock();
  const nanoseconds correction = mode == "--invalid" ? -clock->Now() - hours(24) : milliseconds(std::atoll(argv[2]));
  const ClockAnchor anchor{clock->Now() + correction, clock->Monotonic()};
  const auto deadline = steady_clock::now() + milliseconds(std::atoi(argv[1]));

  std::atomic<int> completions = 0;
  const ClockSetCalls calls{[] { std::puts("waiting"), std::fflush(stdout); }, [&](ClockSetResult r) {
                              std::printf("errno %d via %s waited %d pending %d\n", r.error,
                                          r.way == SetWay::kNone ? "-" : SetWayName(r.way), r.waited, r.pending);
                              std::fflush(stdout);
                              ++completions;
                            }};
  clock->Set(anchor, deadline, calls);
  if (mode == "--again") clock->Set(anchor, deadline, calls);
  const int expected = mode == "--again" ? 2 : 1;
  for (int i = 0; i < 3000 && completions < expected; ++i) std::this_thread::sleep_for(milliseconds(10));
  return 0;
}
