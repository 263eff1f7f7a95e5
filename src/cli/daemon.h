// horavexd: the servers and clients of the profile, running without windows, reporting on
// standard output; for machines without a screen.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <asio/ip/address_v4.hpp>

namespace horavex {

struct DaemonOptions {
  std::optional<std::filesystem::path> profile;   // default: the windowed program's profile
  bool dryRun = false;                            // clients set a simulated clock only
  std::optional<asio::ip::address_v4> bindAddress;  // servers listen on this address only
};

struct ParsedDaemon {
  std::optional<DaemonOptions> options;  // nothing when the arguments are wrong or help was asked
  std::string message;                   // the error or the help text
};

// Reads the arguments after the program name.
ParsedDaemon ParseDaemonArgs(const std::vector<std::string>& args);
std::string DaemonUsage();

// Runs until SIGINT or SIGTERM, logging to `outFd` without ever waiting for it; SIGHUP reads the
// profile again. 0 after a clean stop, 1 when nothing could be started.
int RunDaemon(const DaemonOptions& options, int outFd);

}  // namespace horavex
