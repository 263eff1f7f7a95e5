#include "proc_stat.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace horavex::bench {

double ProcessCpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return -1;
  // The command name may hold spaces and parentheses: the fields start after the last ')'.
  const auto close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(line.substr(close + 2));
  std::string skip;
  for (int field = 3; field < 14; ++field) fields >> skip;  // state .. cmajflt
  unsigned long long utime = 0, stime = 0;
  long long cutime = 0, cstime = 0;
  if (!(fields >> utime >> stime >> cutime >> cstime)) return -1;
  return static_cast<double>(utime + stime + static_cast<unsigned long long>(cutime + cstime)) /
         static_cast<double>(sysconf(_SC_CLK_TCK));
}

long ResidentKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

}  // namespace horavex::bench
