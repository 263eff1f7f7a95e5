#include <iostream>
#include <string>
#include <vector>

#include "common/language.h"
#include "cli/query.h"

int main(int argc, char** argv) {
  horavex::SetUpLanguage();
  const horavex::ParsedQuery parsed = horavex::ParseQueryArgs(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.options) {
    const bool help = parsed.message == horavex::QueryUsage();
    (help ? std::cout : std::cerr) << parsed.message;
    return help ? 0 : 2;
  }
  return horavex::RunQuery(*parsed.options);
}
