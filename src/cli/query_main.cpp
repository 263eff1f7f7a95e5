#include <iostream>
#include <string>
#include <vector>

#include "cli/query.h"

int main(int argc, char** argv) {
  const horavex::ParsedQuery parsed = horavex::ParseQueryArgs(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.options) {
    const bool help = parsed.message == horavex::QueryUsage();
    (help ? std::cout : std::cerr) << parsed.message;
    return help ? 0 : 2;
  }
  return horavex::RunQuery(*parsed.options);
}
