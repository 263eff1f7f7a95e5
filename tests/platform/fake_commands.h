// Stand-ins for nmcli, pon and poff: shell scripts in a temporary directory that is all of PATH
// while the object lives, so that no real program of that name can be reached. Each records its
// name and arguments, one per line, then does what the test told it.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_temp_dir.h"

namespace horavex::testing {

class FakeCommands {
 public:
  FakeCommands() {
    const char* saved = std::getenv("PATH");
    hadPath_ = saved != nullptr;
    if (saved) savedPath_ = saved;
    setenv("PATH", dir_.path().c_str(), 1);
  }
  ~FakeCommands() {
    if (hadPath_) setenv("PATH", savedPath_.c_str(), 1);
    else unsetenv("PATH");
  }
  FakeCommands(const FakeCommands&) = delete;
  FakeCommands& operator=(const FakeCommands&) = delete;

  // A command that records its call and then runs `then` (shell builtins and absolute paths only).
  void Add(const std::string& name, const std::string& then = "exit 0") {
    const auto file = dir_.path() / name;
    std::ofstream(file) << "#!/bin/sh\n"
                        << "printf '%s\\n' \"${0##*/}\" >> '" << Log() << "'\n"
                        << "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" << Log() << "'; done\n"
                        << then << "\n";
    chmod(file.c_str(), 0755);
  }

  // Every line the commands recorded, in order.
  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    std::ifstream in(Log());
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }

  std::string Log() const { return (dir_.path() / "calls.log").string(); }
  const std::filesystem::path& Dir() const { return dir_.path(); }

 private:
  TempDir dir_;
  bool hadPath_ = false;
  std::string savedPath_;
};

}  // namespace horavex::testing
