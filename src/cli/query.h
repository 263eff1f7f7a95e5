// horavex-query: one request of one client from the command line, reported for people and
// for scripts.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "client/time_client.h"
#include "protocol/kinds.h"

namespace horavex {

struct QueryOptions {
  ClientKind kind = ClientKind::SntpUdp;
  std::string server;
  unsigned port = 0;
  std::chrono::milliseconds timeout{0};
  bool set = false;     // set the clock (through the client's checks)
  bool dryRun = false;  // with set: show what would be set, set nothing
  std::optional<std::filesystem::path> profile;
};

struct ParsedQuery {
  std::optional<QueryOptions> options;  // nothing when the arguments are wrong or help was asked
  std::string message;                  // the error or the help text
};

// Reads the arguments after the program name.
ParsedQuery ParseQueryArgs(const std::vector<std::string>& args);

// The usage text.
std::string QueryUsage();

// The kind named on the command line ("time-tcp", ..., "sntp").
std::optional<ClientKind> KindFromName(const std::string& name);

// The report of a request that received an answer: the dump as the information window shows
// it (with the exchange's `times` after an SNTP answer), the UTC time, the difference from the
// local clock, "Klok ingesteld." when `clockWasSet` and, last, the time in ISO 8601.
std::string FormatAnswerReport(ClientKind kind, const AnswerArea& answer, const std::optional<SntpTimes>& times,
                               const RequestOutcome& outcome, bool clockWasSet);

// ISO 8601 UTC with milliseconds, e.g. 2026-12-06T17:34:26.123Z.
std::string IsoUtc(const std::tm& utc, int milliseconds);

// A client's text with its CR LF line ends made LF.
std::string PlainLines(std::string text);

// Runs the whole command; returns the exit status (0 only for a valid answer, and with --set a
// clock that was set; 128 and the signal when SIGINT or SIGTERM ended it).
int RunQuery(const QueryOptions& options);

}  // namespace horavex
