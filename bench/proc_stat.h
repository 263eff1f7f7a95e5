// What the kernel says about a process: CPU time and resident memory, from /proc.
#pragma once

#include <sys/types.h>

namespace horavex::bench {

// User plus system CPU time of `pid`, its reaped children included, in seconds; -1 when unreadable.
double ProcessCpuSeconds(pid_t pid);
// Resident memory of `pid` in kB (VmRSS); -1 when unreadable.
long ResidentKb(pid_t pid);

}  // namespace horavex::bench
