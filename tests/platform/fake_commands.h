// Stand-ins for nmcli, pon and poff: shell scripts in a temporary directory that is all of PATH
// while the object lives, so that no real program of that name can be reached. Each records its
// name and arguments, one per line, then does what the test told it.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace horavex::testing {

class FakeCommands {
 public:
  FakeCommands() : savedPath_(std::getenv("PATH") ? std::getenv("PATH") : "") { setenv("PATH", Dir().c_str(), 1); }
  ~FakeCommands() { setenv("PATH", savedPath_.c_str(), 1); }
  FakeCommands(const FakeCommands&) = delete;
  FakeCommands& operator=(const FakeCommands&) = delete;

  // A command that records its call and then runs `then` (shell builtins and absolute paths only).
  void Add(const std::string& name, const std::string& then = "exit 0") {
    const std::string log = dir_.File("calls.log").string();
    std::ofstream(dir_.File(name)) << "#!/bin/sh\nprintf '%s\\n' \"${0##*/}\" \"$@\" >> '" << log << "'\n"
                                   << then << "\n";
    chmod(dir_.File(name).c_str(), 0755);
  }
  // Every line the commands recorded, in order.
  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_.File("calls.log"));
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  const std::filesystem::path& Dir() const { return dir_.Path(); }

 private:
  TempDir dir_;
  std::string savedPath_;
};

}  // namespace horavex::testing
