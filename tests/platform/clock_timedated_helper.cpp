// Sets the clock through the system clock's seam only where that cannot reach the real clock: the
// kernel must refuse this process (no CAP_SYS_TIME), and the system bus must be a private one, so
// the set goes on to a mocked systemd-timedated.
//   clock_timedated_helper WAIT_MS CORRECTION_MS [--invalid | --again] [LINGER_MS]
// Prints "errno N via WAY" for each completion; --again sets once more after the first one ends;
// LINGER_MS keeps the process (and a call still under way) alive that long after the last set.
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
  const char* bus = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  if (argc < 3 || MayHoldSysTime() || bus == nullptr || std::strstr(bus, "/run/dbus") != nullptr) {
    std::puts("refused: the right to set the clock, or the machine's own bus");
    return 2;
  }
  const std::string mode = argc > 3 ? argv[3] : "";
  auto clock = MakeSystemClock(std::chrono::milliseconds(std::atoi(argv[1])));
  const SystemTime now = clock->GetSystemTime();
  const std::int64_t target = UnixFromSystemTime(now) * 1000 + now.wMilliseconds + std::atoll(argv[2]);
  ClockSetting setting{SystemTimeFromUnix(target / 1000, static_cast<int>(target % 1000)), now};
  if (mode == "--invalid") setting.target.wMonth = 13;

  std::atomic<int> completions = 0;
  const auto report = [&](ClockSetResult r) {
    std::printf("errno %d via %s\n", r.error, r.way == SetWay::kNone ? "-" : SetWayName(r.way));
    std::fflush(stdout);
    ++completions;
  };
  clock->SetSystemTimeAsync(setting, report);
  for (int i = 0; i < 3000 && completions == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (mode == "--again") clock->SetSystemTimeAsync(setting, report);
  std::this_thread::sleep_for(std::chrono::milliseconds(argc > 4 ? std::atoi(argv[4]) : 0));
  return 0;
}
