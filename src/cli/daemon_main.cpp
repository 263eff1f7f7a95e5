#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "common/language.h"
#include "cli/daemon.h"

int main(int argc, char** argv) {
  horavex::SetUpLanguage();
  const horavex::ParsedDaemon parsed = horavex::ParseDaemonArgs(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.options) {
    const bool help = parsed.message == horavex::DaemonUsage();
    (help ? std::cout : std::cerr) << parsed.message;
    return help ? 0 : 2;
  }
  return horavex::RunDaemon(*parsed.options, STDOUT_FILENO);
}
