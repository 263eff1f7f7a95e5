// Sets the real clock only where the kernel must refuse it: without CAP_SYS_TIME. It checks that
// first and sets nothing when the capability is there in any form.
//   clock_refusal_helper               sets the clock to the time just read; prints "errno N"
//   clock_refusal_helper --invalid     the same with month 13; prints "errno N"
//   clock_refusal_helper --check-only  prints whether CAP_SYS_TIME is held; sets nothing
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/clock.h"

namespace {

// True when CAP_SYS_TIME is effective or permitted (it could be raised), or when that is unknown.
// Without it in either set nothing this process does can set the clock: it execs nothing.
bool MayHoldSysTime() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) return true;
  const unsigned bit = 1u << (CAP_SYS_TIME % 32);
  const auto& word = data[CAP_SYS_TIME / 32];
  return (word.effective & bit) != 0 || (word.permitted & bit) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  const bool held = MayHoldSysTime();
  if (std::strcmp(mode, "--check-only") == 0) {
    std::puts(held ? "cap_sys_time held" : "cap_sys_time absent");
    return 0;
  }
  if (held) {
    std::puts("refused: CAP_SYS_TIME may be held");
    return 2;
  }
  auto clock = horavex::MakeSystemClock();
  horavex::SystemTime t = clock->GetSystemTime();  // even a success would move nothing
  if (std::strcmp(mode, "--invalid") == 0) t.wMonth = 13;
  const int error = clock->SetSystemTime(t);
  std::printf("errno %d\n", error);
  return error == 0 ? 3 : 0;
}
